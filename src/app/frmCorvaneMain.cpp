#include "app/frmCorvaneMain.h"

#include "app/StartUpSequence.h"
#include "app/frmHistory.h"
#include "core/PostingLog.h"
#include "core/StartUp.h"
#include "enrollment/frmTenantUpdate.h"
#include "payments/frmDownload.h"
#include "platform/Centre.h"
#include "platform/Error.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <exception>

namespace corvane {
namespace {

QLabel* makeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

QPushButton* makeButton(const char* name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QGroupBox* makeFrame(const char* name, const QString& title, QWidget* parent) {
    auto* frame = new QGroupBox(title, parent);
    frame->setObjectName(QLatin1String(name));
    frame->setAccessibleName(title);
    return frame;
}

QString programVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(CORVANE_VERSION_MAJOR)
        .arg(CORVANE_VERSION_MINOR)
        .arg(CORVANE_VERSION_REVISION);
}

}  // namespace

frmCorvaneMain::frmCorvaneMain(Globals& globals, QWidget* parent)
    : QWidget(parent), globals_(globals) {
    setObjectName(QStringLiteral("frmCorvaneMain"));
    setWindowTitle(QStringLiteral("Corvane Main Menu"));

    labIntro_ = makeLabel("labIntro",
                          QStringLiteral("Welcome to Lodgebook Corvane! Choose from one of the "
                                         "options below to import your payment file, post "
                                         "payments to your ledgers or change tenant info."),
                          this);
    labVersion_ = makeLabel("labVersion", QStringLiteral("Version"), this);
    labUser_ = makeLabel("labUser", QStringLiteral("Corvane URL"), this);
    labLastDate_ = makeLabel("labLastDate", QStringLiteral("Last Posting Date"), this);
    labLastBalance_ = makeLabel("labLastBalance", QStringLiteral("Last Balance Posted"), this);
    labLastDateRange_ =
        makeLabel("labLastDateRange", QStringLiteral("Last Date Range Posted"), this);
    cmdVeyraURL_ = makeButton("cmdVeyraURL", QStringLiteral("Go to Vantora"), this);

    fraOption2_ =
        makeFrame("fraOption2", QStringLiteral("Check for any Tenant rent payments"), this);
    labStep2_ = makeLabel(
        "labStep2",
        QStringLiteral("Use this step each time you want to download any Tenant rent payments "
                       "that have been made. This will enable you to post the payments "
                       "automatically to the Lodgebook ledgers, plus you can optionally charge "
                       "management fees on those payments and create a register entry."),
        fraOption2_);
    cmdDownloadPayment_ =
        makeButton("cmdDownloadPayment",
                   QStringLiteral("&Import Payment File and Post Rent Payments"), fraOption2_);

    fraOption3_ =
        makeFrame("fraOption3", QStringLiteral("Activate your Tenants to use Corvane"), this);
    labStep3_ = makeLabel(
        "labStep3",
        QStringLiteral("Perform this step to activate or change the Tenants that use Corvane "
                       "service. You must use this section in order to activate any users of the "
                       "Corvane system."),
        fraOption3_);
    cmdTenantUpdate_ =
        makeButton("cmdTenantUpdate", QStringLiteral("&Activate or Change TENANTS"), fraOption3_);

    cmdViewFiles_ = makeButton("cmdViewFiles", QStringLiteral("View Files"), this);
    cmdHistory_ = makeButton("cmdHistory", QStringLiteral("Posting &History"), this);
    cmdExit_ = makeButton("cmdExit", QStringLiteral("&Exit"), this);

    auto* step2 = new QVBoxLayout(fraOption2_);
    step2->addWidget(labStep2_);
    step2->addWidget(cmdDownloadPayment_, 0, Qt::AlignHCenter);
    auto* step3 = new QVBoxLayout(fraOption3_);
    step3->addWidget(labStep3_);
    step3->addWidget(cmdTenantUpdate_, 0, Qt::AlignHCenter);

    auto* lastPosting = new QVBoxLayout;
    lastPosting->setSpacing(2);
    lastPosting->addWidget(labLastDate_);
    lastPosting->addWidget(labLastBalance_);
    lastPosting->addWidget(labLastDateRange_);
    auto* siteRow = new QHBoxLayout;
    siteRow->addLayout(lastPosting, 1);
    siteRow->addWidget(cmdVeyraURL_, 0, Qt::AlignTop);

    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(labVersion_);
    bottomRow->addStretch(1);
    bottomRow->addWidget(cmdViewFiles_);
    bottomRow->addWidget(cmdHistory_);
    bottomRow->addWidget(cmdExit_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labIntro_);
    layout->addWidget(labUser_);
    layout->addLayout(siteRow);
    layout->addWidget(fraOption2_);
    layout->addWidget(fraOption3_);
    layout->addLayout(bottomRow);
    setFixedWidth(560);

    connect(cmdVeyraURL_, &QPushButton::clicked, this, &frmCorvaneMain::cmdVeyraURL_Click);
    connect(cmdDownloadPayment_, &QPushButton::clicked, this,
            &frmCorvaneMain::cmdDownloadPayment_Click);
    connect(cmdTenantUpdate_, &QPushButton::clicked, this, &frmCorvaneMain::cmdTenantUpdate_Click);
    connect(cmdViewFiles_, &QPushButton::clicked, this, &frmCorvaneMain::cmdViewFiles_Click);
    connect(cmdHistory_, &QPushButton::clicked, this, &frmCorvaneMain::cmdHistory_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    PostingLogSignals& log = globals_.postingLogSignals();
    connect(&log, &PostingLogSignals::figuresChanged, this, &frmCorvaneMain::showPostingFigures);
    connect(&log, &PostingLogSignals::processorSiteRead, this, &frmCorvaneMain::showProcessorSite);
}

frmCorvaneMain::~frmCorvaneMain() = default;

bool frmCorvaneMain::Load() {
    try {
        runStartUp();
        return true;
    } catch (const Error& error) {
        ShowStartUpMessage(globals_.dialogs(), error.number(), error.description());
        if (error.number() == errc::LedgerFileNotFound || error.number() == errc::ItemNotFound) {
            Unload();
            return false;
        }
        return true;
    } catch (const std::exception& error) {
        // A failure that carries no error number still ends the start-up, not the program.
        ShowGeneralError(globals_.dialogs(), 0, QString::fromLocal8Bit(error.what()));
        return true;
    }
}

void frmCorvaneMain::runStartUp() {
    adjustSize();
    CentreOnScreen(*this);
    labUser_->hide();
    globals_.LedgerDbPath = globals_.pathInProgramFolder(kLedgerFileName);
    labVersion_->setText(programVersion());
    RunStartUp(globals_);
}

void frmCorvaneMain::showProcessorSite(const QString& url) {
    labUser_->setText(url);
    labUser_->show();
}

void frmCorvaneMain::showPostingFigures() {
    labLastDate_->setText(LastDateLabel(globals_.postingLog));
    labLastBalance_->setText(LastBalanceLabel(globals_.postingLog));
    labLastDateRange_->setText(LastDateRangeLabel(globals_.postingLog));
}

void frmCorvaneMain::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

void frmCorvaneMain::Unload() {
    globals_.LedgerDb.reset();
}

void frmCorvaneMain::cmdVeyraURL_Click() {
    globals_.dialogs().setBusyPointer(false);
    globals_.platform().shell.open(globals_.postingLog.processorSiteUrl);
}

void frmCorvaneMain::cmdDownloadPayment_Click() {
    frmDownload screen(globals_, this);
    screen.Load();
    screen.exec();
}

void frmCorvaneMain::cmdTenantUpdate_Click() {
    frmTenantUpdate screen(globals_, this);
    screen.Load();
    screen.exec();
}

void frmCorvaneMain::cmdHistory_Click() {
    frmHistory screen(globals_, this);
    screen.Load();
    screen.exec();
}

void frmCorvaneMain::cmdViewFiles_Click() {
    if (viewer_) {
        viewer_->raise();
        viewer_->activateWindow();
        return;
    }
    // No parent: the viewer may stay open after the menu has gone; it deletes itself on close.
    viewer_ = new frmViewFiles(globals_);
    viewer_->setAttribute(Qt::WA_DeleteOnClose);
    viewer_->Load();
    viewer_->show();
}

}  // namespace corvane
