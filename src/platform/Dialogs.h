#pragma once

#include <QString>

namespace corvane {

enum class MsgIcon { None, Information, Exclamation, Question, Critical };
enum class MsgButtons { Ok, YesNo };

// Answers of a message box, as the program keeps them.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// The title a message box shows when the program gives none of its own.
inline const QString kProgramTitle = QStringLiteral("Corvane");

// Message box, input box and the mouse pointer. The real implementation shows Qt dialogs; tests
// use a scripted double that records every message and answers from a script.
//
// The pointer over a message or input box is always the normal one: an implementation restores it
// before it shows the box and, when it was busy, shows the busy pointer again once the box is
// closed, so that work still going on after an answer shows the busy pointer as before. Callers
// never restore the pointer for a message; they show it busy with a BusyPointer around their work.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal message box, under the normal pointer; returns kAnswerOk, kAnswerYes or
    // kAnswerNo.
    virtual int messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                           const QString& title) = 0;
    // Shows an input box, under the normal pointer; returns the text entered, or empty text when
    // cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    // The busy (wait) or the normal mouse pointer.
    virtual void setBusyPointer(bool busy) = 0;
};

// A message for the user, with its icon and title: what a step that does not show messages itself
// returns for its caller to show (tell).
struct UserMessage {
    QString text;
    MsgIcon icon = MsgIcon::Information;
    QString title = kProgramTitle;
};
inline void tell(Dialogs& dialogs, const UserMessage& message) {
    dialogs.messageBox(message.text, MsgButtons::Ok, message.icon, message.title);
}

// Shows the busy pointer for the lifetime of the object (messages shown meanwhile still show the
// normal one); the normal pointer returns at the end. One at a time: they do not nest.
class BusyPointer {
public:
    explicit BusyPointer(Dialogs& dialogs) : dialogs_(dialogs) { dialogs_.setBusyPointer(true); }
    ~BusyPointer() { dialogs_.setBusyPointer(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    Dialogs& dialogs_;
};

}  // namespace corvane
