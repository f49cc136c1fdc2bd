#include "app/frmViewFiles.h"

#include "platform/Centre.h"
#include "platform/Error.h"
#include "platform/OptionList.h"
#include "platform/TextCodec.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QStringListModel>
#include <QVBoxLayout>

namespace corvane {
namespace {

const QString kNoticeTitle = QStringLiteral("Corvane Notice");
const QString kDeleteTitle = QStringLiteral("Delete File");

}  // namespace

frmViewFiles::frmViewFiles(Globals& globals, QWidget* parent)
    : QWidget(parent),
      globals_(globals),
      labHeading_(new QLabel(this)),
      optFiles_(new OptionList(QStringLiteral("File List:"), {}, this)),
      lstFileContents_(new QListView(this)),
      fileRows_(new QStringListModel(this)),
      cmdDelete_(new QPushButton(QStringLiteral("&DELETE the selected file"), this)),
      cmdExit_(new QPushButton(QStringLiteral("&Exit"), this)) {
    setObjectName(QStringLiteral("frmViewFiles"));
    setWindowTitle(QStringLiteral("Corvane Files"));
    setAttribute(Qt::WA_DeleteOnClose);

    labHeading_->setObjectName(QStringLiteral("labHeading"));
    labHeading_->setWordWrap(true);
    optFiles_->setObjectName(QStringLiteral("optFiles"));
    lstFileContents_->setObjectName(QStringLiteral("lstFileContents"));
    lstFileContents_->setAccessibleName(QStringLiteral("File Contents"));
    lstFileContents_->setModel(fileRows_);
    // Files of any length: rows of one height let the view lay out only what is visible.
    lstFileContents_->setUniformItemSizes(true);
    lstFileContents_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cmdDelete_->setObjectName(QStringLiteral("cmdDelete"));
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDelete_);
    buttons->addStretch();
    buttons->addWidget(cmdExit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labHeading_);
    layout->addWidget(optFiles_);
    layout->addWidget(lstFileContents_, 1);
    layout->addLayout(buttons);
    resize(780, 560);

    connect(optFiles_, &OptionList::selectedIndexChanged, this, &frmViewFiles::optFiles_Click);
    connect(cmdDelete_, &QPushButton::clicked, this, &frmViewFiles::cmdDelete_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);
}

void frmViewFiles::Load() {
    CentreOnScreen(*this);
    labHeading_->setText(QStringLiteral(
        "These files are the files that are transferred to and from the payment processor."
        " They are for viewing only, but if there is a problem within a file,"
        " you can delete that file if instructed by a technician."));
    if (optFiles_->count() > 0)
        return;
    const QString choices[] = {
        globals_.TenantExportFileName + QStringLiteral(" - ") +
            QStringLiteral(
                "These are the Corvane TENANTS to be uploaded to the payment processor."),
        globals_.PaymentFileName + QStringLiteral(" - ") +
            QStringLiteral("These are the CURRENT (not yet processed )TENANT PAYMENTS downloaded "
                           "from the payment processor."),
        QStringLiteral("CorvanePayments_LastDownload") + QStringLiteral(" - ") +
            QStringLiteral(
                "These are the PREVIOUS TENANT PAYMENTS downloaded from the payment processor."),
    };
    for (const QString& text : choices)
        optFiles_->addItem(text);
}

int frmViewFiles::selectedFileIndex() const {
    return optFiles_->selectedIndex();
}

void frmViewFiles::chooseFile(int index) {
    optFiles_->setSelectedIndex(index);
}

void frmViewFiles::optFiles_Click(int index) {
    fileRows_->setStringList({});
    switch (index) {
        case 0:
            globals_.ChosenFileName = globals_.TenantExportFileName;
            break;
        case 1:
            globals_.ChosenFileName = globals_.PaymentFileName;
            break;
        default:
            globals_.ChosenFileName = kPaymentArchiveFileName;
            break;
    }
    Q_EMIT fileChoiceChanged(index);
    CheckFile();
    if (globals_.ChosenFileFound)
        LoadFile();
}

void frmViewFiles::CheckFile() {
    const bool found =
        !globals_.ChosenFileName.isEmpty() &&
        globals_.files().exists(globals_.pathInProgramFolder(globals_.ChosenFileName));
    globals_.ChosenFileFound = found;
    if (!found) {
        globals_.dialogs().messageBox(
            QStringLiteral("The file you chose does not exist in the Lodgebook folder"),
            MsgButtons::Ok, MsgIcon::Information, kNoticeTitle);
    }
}

void frmViewFiles::LoadFile() {
    QString text;
    try {
        text = decodeAnsi(
            globals_.files().readAll(globals_.pathInProgramFolder(globals_.ChosenFileName)));
    } catch (const Error& e) {
        // A file that went away or is locked by another program: say so instead of failing.
        globals_.dialogs().messageBox(e.description(), MsgButtons::Ok, MsgIcon::Exclamation,
                                      kNoticeTitle);
        return;
    }
    if (text.isEmpty()) {
        globals_.dialogs().messageBox(QStringLiteral("There is no data in this file."),
                                      MsgButtons::Ok, MsgIcon::Information,
                                      QStringLiteral("Lodgebook Corvane"));
        return;
    }
    // One row a line, without its end (LF or CR LF); the last line's end starts no row.
    QStringList rows = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        rows.removeLast();
    for (QString& row : rows) {
        if (row.endsWith(QLatin1Char('\r')))
            row.chop(1);
    }
    fileRows_->setStringList(rows);
}

void frmViewFiles::cmdDelete_Click() {
    Dialogs& dialogs = globals_.dialogs();
    if (globals_.ChosenFileName.isEmpty()) {
        dialogs.messageBox(QStringLiteral("No file has been chosen. Choose a file from the File "
                                          "List first, then delete it."),
                           MsgButtons::Ok, MsgIcon::Information, kDeleteTitle);
        return;
    }
    CheckFile();
    if (!globals_.ChosenFileFound)
        return;
    const int answer =
        dialogs.messageBox(QStringLiteral("Are you SURE you want to delete the file: ") +
                               globals_.ChosenFileName + QStringLiteral("?"),
                           MsgButtons::YesNo, MsgIcon::None, kDeleteTitle);
    if (answer != kAnswerYes)
        return;
    try {
        globals_.files().remove(globals_.pathInProgramFolder(globals_.ChosenFileName));
    } catch (const Error& e) {
        dialogs.messageBox(e.description(), MsgButtons::Ok, MsgIcon::Exclamation, kDeleteTitle);
        return;
    }
    dialogs.messageBox(QStringLiteral("File Deleted!"), MsgButtons::Ok, MsgIcon::Information,
                       kDeleteTitle);
}

}  // namespace corvane
