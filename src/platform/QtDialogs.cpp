#include "platform/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace corvane {
namespace {

QMessageBox::Icon qtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

const QString& titleOrDefault(const QString& title) {
    return title.isEmpty() ? kProgramTitle : title;
}

}  // namespace

// The normal pointer while a box is up; a busy pointer comes back when it closes.
class QtDialogs::NormalPointer {
public:
    explicit NormalPointer(QtDialogs& dialogs) : dialogs_(dialogs), wasBusy_(dialogs.busy_) {
        dialogs_.setBusyPointer(false);
    }
    ~NormalPointer() { dialogs_.setBusyPointer(wasBusy_); }
    NormalPointer(const NormalPointer&) = delete;
    NormalPointer& operator=(const NormalPointer&) = delete;

private:
    QtDialogs& dialogs_;
    bool wasBusy_;
};

int QtDialogs::messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                          const QString& title) {
    const NormalPointer normal(*this);
    // The program breaks its lines Windows-style, with a carriage return alone or with a line
    // feed; a Qt label breaks only at line feeds.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(qtIcon(icon), titleOrDefault(title), shown, QMessageBox::NoButton,
                    QApplication::activeWindow());
    // File names and ledger values appear in messages: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    int answer = kAnswerOk;
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        answer = box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
    }
    return answer;
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title,
                            const QString& defaultText) {
    const NormalPointer normal(*this);
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), titleOrDefault(title),
                                               prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

void QtDialogs::setBusyPointer(bool busy) {
    // One override at most, however often the busy pointer is asked for: every set is undone by
    // exactly one restore.
    if (busy == busy_ || qApp == nullptr)
        return;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    busy_ = busy;
}

}  // namespace corvane
