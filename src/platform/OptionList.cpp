#include "platform/OptionList.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {

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
    auto* button = new QRadioButton(text, this);
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
