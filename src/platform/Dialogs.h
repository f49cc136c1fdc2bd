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
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal message box; returns kAnswerOk, kAnswerYes or kAnswerNo.
    virtual int messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                           const QString& title) = 0;
    // Shows an input box; returns the text entered, or empty text when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    // The busy (wait) or the normal mouse pointer.
    virtual void setBusyPointer(bool busy) = 0;
};

// Shows the busy pointer for the lifetime of the object; the normal pointer returns at the end
// (callers still restore it explicitly before any message).
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
