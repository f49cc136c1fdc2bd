#include "platform/Environment.h"
#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

namespace corvane {
namespace {

TEST(ProcSessions, isTheSessionOfTheRunningProcess) {
    ProcSessions sessions;
    EXPECT_EQ(sessions.currentSessionId(), QString::number(::getsid(0)));
}

TEST(RealEnvironment, readsVariablesAndStandsInTheHomeFolderForUserProfile) {
    RealEnvironment environment;
    qputenv("CORVANE_TEST_VARIABLE", "LODGEBOOK");
    EXPECT_EQ(environment.variable(QStringLiteral("CORVANE_TEST_VARIABLE")), "LODGEBOOK");
    EXPECT_TRUE(environment.hasVariable(QStringLiteral("CORVANE_TEST_VARIABLE")));
    qunsetenv("CORVANE_TEST_VARIABLE");
    EXPECT_EQ(environment.variable(QStringLiteral("CORVANE_TEST_VARIABLE")), QString());
    EXPECT_FALSE(environment.hasVariable(QStringLiteral("CORVANE_TEST_VARIABLE")));

    const QByteArray saved = qgetenv("USERPROFILE");
    const bool wasSet = qEnvironmentVariableIsSet("USERPROFILE");
    qunsetenv("USERPROFILE");
    EXPECT_EQ(environment.variable(QStringLiteral("USERPROFILE")), QDir::homePath());
    qputenv("USERPROFILE", "/srv/lodgebook/user");
    EXPECT_EQ(environment.variable(QStringLiteral("USERPROFILE")), "/srv/lodgebook/user");
    if (wasSet) {
        qputenv("USERPROFILE", saved);
    } else {
        qunsetenv("USERPROFILE");
    }
}

// Records the addresses the desktop was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

TEST(QtShell, opensWebAddressesOnlyAndNothingForAnEmptyOne) {
    UrlRecorder recorder;
    for (const char* scheme : {"http", "https", "file", "ftp", "mailto"}) {
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");
    }
    QtShell shell;
    shell.open(QString());
    shell.open(QStringLiteral("   "));
    shell.open(QStringLiteral("/usr/bin/xterm"));
    shell.open(QStringLiteral("file:///etc/passwd"));
    shell.open(QStringLiteral("https://www.vantora.example/landlord"));
    shell.open(QStringLiteral(" www.vantora.example "));
    for (const char* scheme : {"http", "https", "file", "ftp", "mailto"}) {
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    EXPECT_EQ(recorder.opened,
              (QList<QUrl>{QUrl(QStringLiteral("https://www.vantora.example/landlord")),
                           QUrl(QStringLiteral("http://www.vantora.example"))}));
}

// Runs `act` on the modal dialog once it is shown.
void whenShown(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    Qt::TextFormat format = Qt::AutoText;
    bool busyPointerOver = true;
};

// Shows a message box and presses the button `press` on it.
BoxSeen showAndPress(QtDialogs& dialogs, const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title, QMessageBox::StandardButton press, int& answer) {
    BoxSeen seen;
    whenShown([&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = static_cast<int>(box->standardButtons());
        seen.format = box->textFormat();
        seen.busyPointerOver = QApplication::overrideCursor() != nullptr;
        box->button(press)->click();
    });
    answer = dialogs.messageBox(text, buttons, icon, title);
    return seen;
}

TEST(QtDialogs, messageBox_showsTitleTextIconAndAnswersAsTheProgramCounts) {
    QtDialogs dialogs;
    int answer = 0;
    BoxSeen seen = showAndPress(dialogs, QStringLiteral("Your Lodgebook Ledgers are now updated."),
                                MsgButtons::Ok, MsgIcon::Information,
                                QStringLiteral("Corvane Notice"), QMessageBox::Ok, answer);
    EXPECT_EQ(answer, kAnswerOk);
    EXPECT_EQ(seen.title, "Corvane Notice");
    EXPECT_EQ(seen.text, "Your Lodgebook Ledgers are now updated.");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, static_cast<int>(QMessageBox::Ok));

    seen = showAndPress(dialogs, QStringLiteral("Post <b>now</b>?"), MsgButtons::YesNo,
                        MsgIcon::Question, QStringLiteral("Corvane"), QMessageBox::Yes, answer);
    EXPECT_EQ(answer, kAnswerYes);
    EXPECT_EQ(seen.buttons, static_cast<int>(QMessageBox::Yes | QMessageBox::No));
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    seen = showAndPress(dialogs, QStringLiteral("Delete?"), MsgButtons::YesNo, MsgIcon::Exclamation,
                        QString(), QMessageBox::No, answer);
    EXPECT_EQ(answer, kAnswerNo);
    EXPECT_EQ(seen.title, kProgramTitle);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

TEST(QtDialogs, messageBox_breaksLinesAtCarriageReturns) {
    QtDialogs dialogs;
    int answer = 0;
    const BoxSeen seen = showAndPress(
        dialogs, QStringLiteral("The most recent file is: \rpaymentHistory.csv\r\nLast Modified"),
        MsgButtons::Ok, MsgIcon::None, QStringLiteral("Latest File"), QMessageBox::Ok, answer);
    EXPECT_EQ(seen.text, "The most recent file is: \npaymentHistory.csv\nLast Modified");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

TEST(QtDialogs, busyPointer_isSetOnceRestoredOnceAndLiftedOverAMessageOrAnInputBox) {
    QtDialogs dialogs;
    dialogs.setBusyPointer(true);
    dialogs.setBusyPointer(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    int answer = 0;
    const BoxSeen seen = showAndPress(dialogs, QStringLiteral("x"), MsgButtons::Ok, MsgIcon::None,
                                      QString(), QMessageBox::Ok, answer);
    EXPECT_FALSE(seen.busyPointerOver);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);

    bool busyOverInput = true;
    whenShown([&](QWidget* widget) {
        busyOverInput = QApplication::overrideCursor() != nullptr;
        qobject_cast<QInputDialog*>(widget)->reject();
    });
    dialogs.inputBox(QStringLiteral("Prompt"), QStringLiteral("Title"), QString());
    EXPECT_FALSE(busyOverInput);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    dialogs.setBusyPointer(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dialogs.setBusyPointer(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtDialogs, inputBox_givesTheTextEnteredOrEmptyWhenCancelled) {
    QtDialogs dialogs;
    QString title;
    whenShown([&](QWidget* widget) {
        auto* input = qobject_cast<QInputDialog*>(widget);
        ASSERT_NE(input, nullptr);
        title = input->windowTitle();
        EXPECT_EQ(input->labelText(), "Please enter your Vantora URL");
        input->setTextValue(QStringLiteral("https://www.vantora.example"));
        input->accept();
    });
    EXPECT_EQ(dialogs.inputBox(QStringLiteral("Please enter your Vantora URL"),
                               QStringLiteral("Vantora URL Entry"), QString()),
              "https://www.vantora.example");
    EXPECT_EQ(title, "Vantora URL Entry");

    whenShown([](QWidget* widget) {
        auto* input = qobject_cast<QInputDialog*>(widget);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->textValue(), "typed default");
        input->reject();
    });
    EXPECT_EQ(dialogs.inputBox(QStringLiteral("Prompt"), QStringLiteral("Title"),
                               QStringLiteral("typed default")),
              QString());
}

}  // namespace
}  // namespace corvane

#include "services_platform.moc"
