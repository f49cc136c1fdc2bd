#include "platform/OptionList.h"

#include <QAccessibleWidget>
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

// What assistive tools see of an option: a radio button whose only action, "Toggle", chooses it
// as a click does, also when it is already chosen. (Qt's own radio button toggles it, which
// does nothing at all to the chosen button of a group.)
class AccessibleOption final : public QAccessibleWidget {
public:
    explicit AccessibleOption(OptionButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return option()->text().remove(QLatin1Char('&'));
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = option()->isChecked();
        return s;
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& action) override {
        if (action == toggleAction() && widget()->isEnabled())
            option()->click();
    }

private:
    OptionButton* option() const { return static_cast<OptionButton*>(widget()); }
};

QAccessibleInterface* accessibleOptionFactory(const QString&, QObject* object) {
    auto* button = dynamic_cast<OptionButton*>(object);
    return button != nullptr ? new AccessibleOption(button) : nullptr;
}

}  // namespace

OptionList::OptionList(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent) {
    static const bool accessibleOptions =
        (QAccessible::installFactory(accessibleOptionFactory), true);
    Q_UNUSED(accessibleOptions);
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
    // Qt made the button's accessible interface while constructing it, before it was an
    // OptionButton; let it be made again as what it is.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(button);
        made != nullptr && dynamic_cast<AccessibleOption*>(made) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
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
