#pragma once

#include "platform/Dialogs.h"

namespace corvane {

// Dialogs as real Qt message and input boxes, parented to the active window.
class QtDialogs final : public Dialogs {
public:
    int messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                   const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void setBusyPointer(bool busy) override;

private:
    class NormalPointer;
    bool busy_ = false;
};

}  // namespace corvane
