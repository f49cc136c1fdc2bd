#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QString>
#include <QStringList>

namespace corvane {

// The option-list control of the screens: a titled group of radio buttons with a selected index.
// selectedIndexChanged is raised when the user picks an item (also the one already selected) and
// every time the program sets the index.
class OptionList : public QGroupBox {
    Q_OBJECT
public:
    OptionList(const QString& title, const QStringList& items, QWidget* parent = nullptr);

    // Adds an item at the end; its radio button is named objectName() + its index.
    void addItem(const QString& text);
    int count() const { return static_cast<int>(items_.size()); }

    int selectedIndex() const;     // -1 while nothing is selected
    QString selectedText() const;  // empty while nothing is selected
    void setSelectedIndex(int index);

Q_SIGNALS:
    void selectedIndexChanged(int index);

private:
    QButtonGroup group_;
    QStringList items_;
    bool settingIndex_ = false;
};

}  // namespace corvane
