#include "app/frmViewFiles.h"
#include "support/TestFiles.h"
#include "support/TestPlatform.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::TestPlatform;

const QString kMissing =
    QStringLiteral("The file you chose does not exist in the Lodgebook folder");
const QString kNotice = QStringLiteral("Corvane Notice");
const QString kDeleteTitle = QStringLiteral("Delete File");

class ViewerWindow : public ::testing::Test {
protected:
    ViewerWindow() {
        tp.globals.PaymentFileName = kPaymentFileName;
        tp.globals.TenantExportFileName = kTenantExportFileName;
    }
    ~ViewerWindow() override {
        if (window)
            delete window.data();
    }

    frmViewFiles& open() {
        if (window)
            delete window.data();
        window = new frmViewFiles(tp.globals);
        window->Load();
        window->show();
        return *window;
    }
    // Closes the window as its Exit button does and lets it go.
    void closeWithExit() {
        window->findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void writeFile(const QString& name, const QByteArray& bytes) {
        test::writeFile(tp.path(name), bytes);
    }
    QStringList rows() const {
        const QAbstractItemModel* model =
            window->findChild<QListView*>(QStringLiteral("lstFileContents"))->model();
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r)
            texts << model->index(r, 0).data().toString();
        return texts;
    }
    void clickDelete() { window->findChild<QPushButton*>(QStringLiteral("cmdDelete"))->click(); }

    TestPlatform tp;
    QPointer<frmViewFiles> window;
};

TEST_F(ViewerWindow, showsEveryControlWithItsCaption) {
    frmViewFiles& w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Corvane Files"));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("labHeading"))->text(),
              QStringLiteral("These files are the files that are transferred to and from the "
                             "payment processor. They are for viewing only, but if there is a "
                             "problem within a file, you can delete that file if instructed by a "
                             "technician."));
    auto* options = w.findChild<QGroupBox*>(QStringLiteral("optFiles"));
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->title(), QStringLiteral("File List:"));
    EXPECT_EQ(options->accessibleName(), QStringLiteral("File List:"));
    const QStringList expected = {
        QStringLiteral("CorvaneTenantExport.csv - These are the Corvane TENANTS to be uploaded to "
                       "the payment processor."),
        QStringLiteral("paymentHistory.csv - These are the CURRENT (not yet processed )TENANT "
                       "PAYMENTS downloaded from the payment processor."),
        QStringLiteral("CorvanePayments_LastDownload - These are the PREVIOUS TENANT PAYMENTS "
                       "downloaded from the payment processor."),
    };
    QStringList choices;
    for (QRadioButton* choice : options->findChildren<QRadioButton*>())
        choices << choice->text();
    EXPECT_EQ(choices, expected);
    EXPECT_EQ(w.selectedFileIndex(), -1);
    EXPECT_EQ(w.findChild<QPushButton*>(QStringLiteral("cmdDelete"))->text(),
              QStringLiteral("&DELETE the selected file"));
    EXPECT_EQ(w.findChild<QPushButton*>(QStringLiteral("cmdExit"))->text(),
              QStringLiteral("&Exit"));
    auto* list = w.findChild<QListView*>(QStringLiteral("lstFileContents"));
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->accessibleName().isEmpty());
    EXPECT_TRUE(list->uniformItemSizes());
}

TEST_F(ViewerWindow, lastDownloadBeforeAnyPosting_saysItIsNotInTheLodgebookFolder) {
    frmViewFiles& w = open();
    tp.dialogs.expectMessage(kMissing, kNotice);
    w.findChild<QRadioButton*>(QStringLiteral("optFiles2"))->click();
    EXPECT_EQ(w.selectedFileIndex(), 2);
    EXPECT_EQ(tp.globals.ChosenFileName, QStringLiteral("paymentHistory_LastDownload.csv"));
    EXPECT_FALSE(tp.globals.ChosenFileFound);
    EXPECT_TRUE(rows().isEmpty());
}

TEST_F(ViewerWindow, emptyFile_saysThereIsNoData) {
    writeFile(kPaymentFileName, {});
    frmViewFiles& w = open();
    tp.dialogs.expectMessage(QStringLiteral("There is no data in this file."),
                             QStringLiteral("Lodgebook Corvane"));
    w.chooseFile(1);
    EXPECT_TRUE(tp.globals.ChosenFileFound);
    EXPECT_TRUE(rows().isEmpty());
}

TEST_F(ViewerWindow, linesAreShownWithoutTheirEnds) {
    const struct {
        const char* bytes;
        QStringList rows;
    } cases[] = {
        {"T42,Jane,Smith\r\nT7,Jos\xE9,Pe\xF1"
         "a\r\n",
         {QStringLiteral("T42,Jane,Smith"), QString::fromUtf8("T7,Jos\u00E9,Pe\u00F1a")}},
        {"T42,Jane,Smith\nT7,Jos\xE9\n\nlast", {"T42,Jane,Smith", "T7,Jos\u00E9", "", "last"}},
        {"one\rline\r\n\r\n", {"one\rline", ""}},
    };
    frmViewFiles& w = open();
    for (const auto& c : cases) {
        writeFile(kTenantExportFileName, c.bytes);
        w.chooseFile(0);
        EXPECT_EQ(rows(), c.rows) << c.bytes;
    }
    EXPECT_EQ(tp.globals.ChosenFileName, kTenantExportFileName);
}

TEST_F(ViewerWindow, choosingAnotherFile_replacesTheRowsShown) {
    writeFile(kTenantExportFileName, "export line");
    frmViewFiles& w = open();
    w.chooseFile(0);
    ASSERT_EQ(rows(), QStringList{QStringLiteral("export line")});
    tp.dialogs.expectMessage(kMissing, kNotice);
    w.chooseFile(1);
    EXPECT_TRUE(rows().isEmpty());
}

TEST_F(ViewerWindow, choosingTheSelectedFileAgain_readsItAnew) {
    writeFile(kPaymentFileName, "old line");
    frmViewFiles& w = open();
    auto* choice = w.findChild<QRadioButton*>(QStringLiteral("optFiles1"));
    choice->click();
    ASSERT_EQ(rows(), QStringList{QStringLiteral("old line")});
    writeFile(kPaymentFileName, "new line\nsecond");
    choice->click();  // already selected
    EXPECT_EQ(w.selectedFileIndex(), 1);
    EXPECT_EQ(rows(), (QStringList{QStringLiteral("new line"), QStringLiteral("second")}));
    // Choosing another file still reads only that one, once.
    writeFile(kTenantExportFileName, "export");
    w.findChild<QRadioButton*>(QStringLiteral("optFiles0"))->click();
    EXPECT_EQ(rows(), QStringList{QStringLiteral("export")});
    EXPECT_TRUE(tp.dialogs.shown().empty());
}

// As a screen reader chooses an option: through its only accessible action.
TEST_F(ViewerWindow, accessibleToggleOfTheChosenOption_readsTheFileAgain) {
    writeFile(kPaymentFileName, "old line\r\n");
    frmViewFiles& w = open();
    QAccessibleInterface* option = QAccessible::queryAccessibleInterface(
        w.findChild<QRadioButton*>(QStringLiteral("optFiles1")));
    ASSERT_NE(option, nullptr);
    ASSERT_NE(option->actionInterface(), nullptr);
    EXPECT_EQ(option->role(), QAccessible::RadioButton);
    EXPECT_EQ(option->text(QAccessible::Name).left(19), QStringLiteral("paymentHistory.csv "));
    EXPECT_EQ(option->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::toggleAction()});
    option->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(w.selectedFileIndex(), 1);
    EXPECT_TRUE(option->state().checked);
    ASSERT_EQ(rows(), QStringList{QStringLiteral("old line")});
    writeFile(kPaymentFileName, "new line\r\n");
    option->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(w.selectedFileIndex(), 1);
    EXPECT_EQ(rows(), QStringList{QStringLiteral("new line")});
    EXPECT_TRUE(tp.dialogs.shown().empty());
}

TEST_F(ViewerWindow, folderNamedLikeTheFile_doesNotExist) {
    ASSERT_TRUE(QDir(tp.folder.path()).mkdir(kPaymentFileName));
    frmViewFiles& w = open();
    tp.dialogs.expectMessage(kMissing, kNotice);
    w.findChild<QRadioButton*>(QStringLiteral("optFiles1"))->click();
    EXPECT_FALSE(tp.globals.ChosenFileFound);
    EXPECT_TRUE(rows().isEmpty());
    tp.dialogs.expectMessage(kMissing, kNotice);
    clickDelete();
    EXPECT_TRUE(QDir(tp.path(kPaymentFileName)).exists());
}

TEST_F(ViewerWindow, fileOfMoreThan32767Lines_isShownWhole) {
    QByteArray bytes;
    for (int i = 0; i < 40000; ++i)
        bytes += "B" + QByteArray::number(i) + ",T1,100.00\n";
    writeFile(kPaymentFileName, bytes);
    frmViewFiles& w = open();
    w.chooseFile(1);
    const QStringList shown = rows();
    ASSERT_EQ(shown.size(), 40000);
    EXPECT_EQ(shown.last(), QStringLiteral("B39999,T1,100.00"));
}

TEST_F(ViewerWindow, answeringNo_keepsTheFile) {
    writeFile(kPaymentFileName, "line\n");
    open().chooseFile(1);
    tp.dialogs.expectQuestion(
        QStringLiteral("Are you SURE you want to delete the file: paymentHistory.csv?"),
        kDeleteTitle, kAnswerNo);
    clickDelete();
    EXPECT_TRUE(QFile::exists(tp.path(kPaymentFileName)));
}

TEST_F(ViewerWindow, answeringYes_deletesTheFileAndLeavesTheRowsShown) {
    writeFile(kPaymentFileName, "line one\nline two");
    open().chooseFile(1);
    tp.dialogs.expectQuestion(
        QStringLiteral("Are you SURE you want to delete the file: paymentHistory.csv?"),
        kDeleteTitle, kAnswerYes);
    tp.dialogs.expectMessage(QStringLiteral("File Deleted!"), kDeleteTitle);
    clickDelete();
    EXPECT_FALSE(QFile::exists(tp.path(kPaymentFileName)));
    EXPECT_EQ(rows(), (QStringList{QStringLiteral("line one"), QStringLiteral("line two")}));
}

TEST_F(ViewerWindow, fileGoneBeforeDelete_saysItIsMissingAndAsksNothing) {
    writeFile(kPaymentFileName, "line\n");
    open().chooseFile(1);
    QFile::remove(tp.path(kPaymentFileName));
    tp.dialogs.expectMessage(kMissing, kNotice);
    clickDelete();
    EXPECT_FALSE(tp.globals.ChosenFileFound);
}

TEST_F(ViewerWindow, deleteBeforeAnyChoice_saysNoFileIsChosenAndDeletesNothing) {
    writeFile(kPaymentFileName, "line\n");
    open();
    tp.dialogs.expectMessage(QStringLiteral("No file has been chosen. Choose a file from the File "
                                            "List first, then delete it."),
                             kDeleteTitle);
    clickDelete();
    EXPECT_TRUE(QFile::exists(tp.path(kPaymentFileName)));
}

TEST_F(ViewerWindow, reopening_keepsTheChoiceForDelete) {
    writeFile(kTenantExportFileName, "T42\r\n");
    open().chooseFile(0);
    closeWithExit();
    ASSERT_TRUE(window.isNull()) << "Exit closes and releases the window";

    frmViewFiles& again = open();
    EXPECT_EQ(again.selectedFileIndex(), -1);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(tp.globals.ChosenFileName, kTenantExportFileName);
    EXPECT_TRUE(tp.globals.ChosenFileFound);
    tp.dialogs.expectQuestion(
        QStringLiteral("Are you SURE you want to delete the file: CorvaneTenantExport.csv?"),
        kDeleteTitle, kAnswerYes);
    tp.dialogs.expectMessage(QStringLiteral("File Deleted!"), kDeleteTitle);
    clickDelete();
    EXPECT_FALSE(QFile::exists(tp.path(kTenantExportFileName)));
}

}  // namespace
}  // namespace corvane
