#include "enrollment/OptionList.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {

OptionList::OptionList(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), items_(items) {
    setAccessibleName(title);
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_.addButton(button, i);
        layout->addWidget(button);
    }
    connect(&group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !settingIndex_)
            Q_EMIT selectedIndexChanged(id);
    });
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
