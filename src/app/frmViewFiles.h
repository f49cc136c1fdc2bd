#pragma once

#include "core/Globals.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QListView;
class QPushButton;
class QStringListModel;

namespace corvane {

class OptionList;

// The exchange files viewer: a modeless top-level window (no parent, so it may outlive the main
// menu) that shows one of the files exchanged with the payment processor line by line and
// deletes it on request. The opener constructs it, runs Load(), then show(); the window deletes
// itself when closed. The choice made (Globals::ChosenFileName, ChosenFileFound) outlives it.
class frmViewFiles : public QWidget {
    Q_OBJECT
public:
    explicit frmViewFiles(Globals& globals, QWidget* parent = nullptr);
    // Centres the window, sets the heading and adds the three choices of optFiles.
    void Load();

    // optFiles: the chosen index (0 export file, 1 staged payments, 2 last posted payments), -1
    // before a choice. chooseFile(index) chooses as a click does.
    int selectedFileIndex() const;
    void chooseFile(int index);

    // Whether ChosenFileName exists in the program folder (shows the notice when it does not).
    void CheckFile();
    // Shows ChosenFileName in lstFileContents, one row per line feed.
    void LoadFile();

Q_SIGNALS:
    void fileChoiceChanged(int index);

private:
    void optFiles_Click(int index);
    void cmdDelete_Click();

    Globals& globals_;
    QLabel* labHeading_;
    OptionList* optFiles_;
    QListView* lstFileContents_;
    QStringListModel* fileRows_;
    QPushButton* cmdDelete_;
    QPushButton* cmdExit_;
};

}  // namespace corvane
