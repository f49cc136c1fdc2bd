#pragma once

#include "app/frmViewFiles.h"
#include "core/Globals.h"

#include <QPointer>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

// The main menu, the program's first and last window. Call order: construct, Load() (the whole
// start-up, which may show messages), then show() unless Load() returned false (the program must
// end). Closing the window (Exit) releases the ledger connection. While it exists its labels follow
// the posting log's figures (Globals::postingLogSignals).
class frmCorvaneMain : public QWidget {
    Q_OBJECT
public:
    explicit frmCorvaneMain(Globals& globals, QWidget* parent = nullptr);
    ~frmCorvaneMain() override;

    // Start-up steps 1 to 10 under the start-up error handler; false when the program must end.
    bool Load();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void runStartUp();
    void showProcessorSite(const QString& url);
    void showPostingFigures();
    void Unload();
    void cmdVeyraURL_Click();
    void cmdDownloadPayment_Click();
    void cmdTenantUpdate_Click();
    void cmdViewFiles_Click();
    void cmdHistory_Click();

    Globals& globals_;
    QLabel* labIntro_;
    QLabel* labVersion_;
    QLabel* labUser_;
    QLabel* labLastDate_;
    QLabel* labLastBalance_;
    QLabel* labLastDateRange_;
    QPushButton* cmdVeyraURL_;
    QGroupBox* fraOption2_;
    QLabel* labStep2_;
    QPushButton* cmdDownloadPayment_;
    QGroupBox* fraOption3_;
    QLabel* labStep3_;
    QPushButton* cmdTenantUpdate_;
    QPushButton* cmdViewFiles_;
    QPushButton* cmdHistory_;
    QPushButton* cmdExit_;
    QPointer<frmViewFiles> viewer_;
};

}  // namespace corvane
