#pragma once

#include "platform/Dialogs.h"

#include <QString>

#include <deque>
#include <vector>

namespace corvane::test {

// One message box as the user saw it.
struct ShownMessage {
    QString text;
    MsgButtons buttons;
    MsgIcon icon;
    QString title;
    bool operator==(const ShownMessage&) const = default;
};

// Dialogs for tests: records every message box and input box, answers from a script, and fails
// the test (a gtest failure) on a message that the script did not expect. Expect the messages in
// the order the program shows them: expectMessage(...) for an OK box, expectQuestion(..., answer)
// for a Yes/No box. A test ends with verifyAllShown() (called by the destructor too), and with the
// normal pointer (the destructor fails the test when the busy pointer was left on).
class ScriptedDialogs final : public Dialogs {
public:
    ~ScriptedDialogs() override;

    // Expects a message box with exactly this text and title (and icon and buttons when given).
    void expectMessage(const QString& text, const QString& title,
                       MsgIcon icon = MsgIcon::Information, MsgButtons buttons = MsgButtons::Ok);
    // Expects a Yes/No question and answers it with kAnswerYes or kAnswerNo.
    void expectQuestion(const QString& text, const QString& title, int answer,
                        MsgIcon icon = MsgIcon::None);
    // Expects an input box and answers it with `answer`.
    void expectInput(const QString& prompt, const QString& title, const QString& answer);
    // Accepts any message boxes from now on (answering Yes to questions); they are still recorded.
    void allowAnyMessages(bool allow = true) { allowAny_ = allow; }

    const std::vector<ShownMessage>& shown() const { return shown_; }
    const std::vector<QString>& inputPrompts() const { return inputPrompts_; }
    // The pointer as the user sees it now: normal while a box is up, as the real dialogs show it.
    bool busy() const { return busy_; }
    int busyCalls() const { return busyCalls_; }
    // Fails the test for every expected dialog that did not appear.
    void verifyAllShown();

    int messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                   const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void setBusyPointer(bool busy) override;

private:
    struct Expected {
        bool input = false;
        ShownMessage message;
        int answer = kAnswerOk;
        QString inputAnswer;
    };
    std::deque<Expected> script_;
    std::vector<ShownMessage> shown_;
    std::vector<QString> inputPrompts_;
    bool allowAny_ = false;
    bool busy_ = false;
    int busyCalls_ = 0;
};

}  // namespace corvane::test
