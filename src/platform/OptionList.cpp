#include "platform/OptionList.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include <functional>

namespace corvane {
namespace {

// A radio button that tells when the user chooses it while it is already chosen (a click that
// changes nothing), which QAbstractButton reports only as a click without a toggle.
class OptionButton final : public QRadioButton {
public:
    OptionButton(const QString& text, QWidget* parent, std::function<void()> rechosen)
        : QRadioButton(text, parent), rechosen_(std::move(rechosen)) {}

protected:
    // Called for a click, and by the group to clear the button that was chosen before.
    void nextCheckState() override {
        if (isChecked() && group() != nullptr && group()->checkedButton() == this) {
            rechosen_();
            return;
        }
        QRadioButton::nextCheckState();
    }

private:
    std::function<void()> rechosen_;
};

}  // namespace

OptionList::OptionList(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent) {
    setAccessibleName(title);
    new QVBoxLayout(this);
    for (const QString& item : items)
        addItem(item);
    connect(&group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !settingIndex_)
            Q_EMIT selectedIndexChanged(id);
    });
}

void OptionList::addItem(const QString& text) {
    const int index = count();
    auto* button =
        new OptionButton(text, this, [this, index] { Q_EMIT selectedIndexChanged(index); });
    button->setObjectName(objectName() + QString::number(index));
    group_.addButton(button, index);
    layout()->addWidget(button);
    items_.append(text);
}

int OptionList::selectedIndex() const {
    return group_.checkedId();
}

QString OptionList::selectedText() const {
    const int index = selectedIndex();
    return index >= 0 ? items_[index] : QString();
}

void OptionList::setSelectedIndex(int index) {
    QAbstractButton* button = group_.button(index);
    if (!button)
        return;
    settingIndex_ = true;
    button->setChecked(true);
    settingIndex_ = false;
    Q_EMIT selectedIndexChanged(index);
}

}  // namespace corvane
