#include "support/ScriptedDialogs.h"

#include <QScopedValueRollback>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {
const char* iconName(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::None: return "none";
        case MsgIcon::Information: return "information";
        case MsgIcon::Exclamation: return "exclamation";
        case MsgIcon::Question: return "question";
        case MsgIcon::Critical: return "critical";
    }
    return "?";
}
}  // namespace

ScriptedDialogs::~ScriptedDialogs() {
    verifyAllShown();
    // A busy pointer left on stays on over an idle program.
    EXPECT_FALSE(busy_) << "the busy pointer was left on";
}

void ScriptedDialogs::expectMessage(const QString& text, const QString& title, MsgIcon icon,
                                    MsgButtons buttons) {
    Expected e;
    e.message = {text, buttons, icon, title};
    e.answer = buttons == MsgButtons::Ok ? kAnswerOk : kAnswerYes;
    script_.push_back(e);
}

void ScriptedDialogs::expectQuestion(const QString& text, const QString& title, int answer,
                                     MsgIcon icon) {
    Expected e;
    e.message = {text, MsgButtons::YesNo, icon, title};
    e.answer = answer;
    script_.push_back(e);
}

void ScriptedDialogs::expectInput(const QString& prompt, const QString& title,
                                  const QString& answer) {
    Expected e;
    e.input = true;
    e.message = {prompt, MsgButtons::Ok, MsgIcon::None, title};
    e.inputAnswer = answer;
    script_.push_back(e);
}

void ScriptedDialogs::verifyAllShown() {
    for (const Expected& e : script_) {
        ADD_FAILURE() << "expected " << (e.input ? "input box" : "message box") << " never shown: \""
                      << e.message.text.toStdString() << "\" titled \""
                      << e.message.title.toStdString() << "\"";
    }
    script_.clear();
}

int ScriptedDialogs::messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                const QString& title) {
    const QScopedValueRollback normalPointer(busy_, false);  // as the real dialogs show it
    shown_.push_back({text, buttons, icon, title});
    if (!script_.empty() && !script_.front().input) {
        Expected e = script_.front();
        script_.pop_front();
        EXPECT_EQ(e.message.text.toStdString(), text.toStdString());
        EXPECT_EQ(e.message.title.toStdString(), title.toStdString());
        EXPECT_EQ(iconName(e.message.icon), std::string(iconName(icon)))
            << "icon of \"" << text.toStdString() << "\"";
        EXPECT_EQ(e.message.buttons == MsgButtons::YesNo, buttons == MsgButtons::YesNo)
            << "buttons of \"" << text.toStdString() << "\"";
        return e.answer;
    }
    if (!allowAny_) {
        ADD_FAILURE() << "unexpected message box: \"" << text.toStdString() << "\" titled \""
                      << title.toStdString() << "\"";
    }
    return buttons == MsgButtons::YesNo ? kAnswerYes : kAnswerOk;
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title,
                                  const QString& defaultText) {
    const QScopedValueRollback normalPointer(busy_, false);  // as the real dialogs show it
    inputPrompts_.push_back(prompt);
    if (!script_.empty() && script_.front().input) {
        Expected e = script_.front();
        script_.pop_front();
        EXPECT_EQ(e.message.text.toStdString(), prompt.toStdString());
        EXPECT_EQ(e.message.title.toStdString(), title.toStdString());
        return e.inputAnswer;
    }
    if (!allowAny_) ADD_FAILURE() << "unexpected input box: \"" << prompt.toStdString() << "\"";
    return defaultText;
}

void ScriptedDialogs::setBusyPointer(bool busy) {
    busy_ = busy;
    ++busyCalls_;
}

}  // namespace corvane::test
