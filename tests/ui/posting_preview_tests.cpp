// The posting preview through the payment screen: what it shows is what the posting then writes,
// figure for figure; a refusal in the run's words; a payment against the rent; nothing written by
// looking; the PDF.
#include "core/TextRules.h"
#include "payments/frmDownload.h"
#include "payments/frmPostingPreview.h"
#include "platform/ledger/Database.h"
#include "support/LineEnds.h"
#include "support/PdfText.h"
#include "support/TestFiles.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace corvane::test {
namespace {

using Table = std::vector<QStringList>;

// The accessible element named `name` with `role` under `root` (tables are not searched into).
QAccessibleInterface* findAccessible(QAccessibleInterface* root, QAccessible::Role role,
                                     const QString& name) {
    if (!root)
        return nullptr;
    if (root->role() == role && root->text(QAccessible::Name) == name)
        return root;
    if (root->tableInterface())
        return nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface* found = findAccessible(root->child(i), role, name))
            return found;
    }
    return nullptr;
}

// What the preview shows, read as a screen reader reads it: each table by its caption, each
// figure by the label that names it.
struct Shown {
    std::map<QString, Table> tables;
    std::map<QString, QString> figures;
    QString top;  // the sentence at the top, or the refusal
};

const QStringList kTables = {"By Owner", "Entries by Tenant", "Balances by Tenant",
                             "Returns to Record", "Rows Not Posted"};
const QStringList kFigures = {
    "Deposit:",          "Deposit Number:",   "Deposit Date:",           "Deposit Amount:",
    "Split Lines:",      "Payments Posted:",  "Management Fees:",        "Returns Recorded:",
    "Fees Given Back:",  "Ledger Entries:",   "Tenant Balances Change:", "Unit Balances Change:",
    "Rows Not Posted:"};

Shown readPreview(frmPostingPreview& window) {
    Shown shown;
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&window);
    EXPECT_EQ(root->text(QAccessible::Name), QStringLiteral("Corvane Posting Preview"));
    for (const QString& caption : kTables) {
        QAccessibleInterface* table = findAccessible(root, QAccessible::Table, caption);
        if (!table)
            continue;
        QAccessibleTableInterface* cells = table->tableInterface();
        Table rows;
        for (int r = 0; r < cells->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < cells->columnCount(); ++c)
                row << cells->cellAt(r, c)->text(QAccessible::Name);
            rows.push_back(row);
        }
        shown.tables[caption] = rows;
    }
    for (const QString& caption : kFigures) {
        QAccessibleInterface* label = findAccessible(root, QAccessible::StaticText, caption);
        if (!label)
            continue;
        const auto labelled = label->relations(QAccessible::Labelled);
        EXPECT_EQ(labelled.size(), 1) << caption.toStdString();
        if (!labelled.isEmpty())
            shown.figures[caption] = labelled.first().first->text(QAccessible::Name);
    }
    for (const char* name : {"labSummary", "labRefusal"}) {
        if (auto* label = window.findChild<QWidget*>(QLatin1String(name)))
            shown.top = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
    }
    return shown;
}

// Every file of the folder with its bytes.
std::map<QString, QByteArray> folderBytes(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(folder).relativeFilePath(path)] = fileBytes(path);
    }
    return files;
}

class PostingPreviewTest : public ::testing::Test {
protected:
    PostingPreviewTest() : ledger(tp.path(kLedgerFileName)) {
        tp.globals.PaymentFileName = kPaymentFileName;
        tp.setUsualPreferences();
        tp.environment.variables.insert(QStringLiteral("COMPUTERNAME"),
                                        QStringLiteral("OFFICE-PC"));
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"), QStringLiteral("8%"));
        ledger.addOwner(8, QString(), QStringLiteral("Pat"), QStringLiteral("25"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        ledger.addProperty(4, 8, QStringLiteral("Pine Row"));
        ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"), "Y", 100);
        ledger.addUnit(1, 42, QStringLiteral("12 Oak St"), "1", 50);
        ledger.addTenant(43, 4, QStringLiteral("Bob"), QString(), "Y", -20);
        ledger.addUnit(2, 43, QStringLiteral("3 Pine Rd"), "2", 0);
        ledger.exec(QStringLiteral("UPDATE Tenants SET TPayment = 1250 WHERE TenantID = 42; "
                                   "UPDATE Tenants SET TPayment = 900 WHERE TenantID = 43"));
        tp.globals.LedgerDb = ledger::Database::open(ledger.path());
    }

    // A download on CR LF lines, as the processor writes it.
    void stage(const QByteArray& lfLines) {
        tp.files.writeAtomically(tp.path(kPaymentFileName), withLineEnd(lfLines, LineEnd::CrLf));
    }
    static QByteArray line(const char* number, const char* account, const char* amount,
                           const char* status = "Posted") {
        return QByteArray(number) + ',' + account + ",Payer,1 Road,03/02/2026,Check,\"" + amount +
               "\"," + status + "\n";
    }
    void load(bool fees = true, const QString& deposit = QStringLiteral("1045")) {
        screen = std::make_unique<frmDownload>(tp.globals);
        tp.dialogs.allowAnyMessages();
        screen->Load();
        tp.dialogs.allowAnyMessages(false);
        screen->show();
        screen->findChild<QCheckBox*>(QStringLiteral("chkPostMgmtFees"))->setChecked(fees);
        screen->findChild<QCheckBox*>(QStringLiteral("chkCreateDeposit"))
            ->setChecked(!deposit.isEmpty());
        screen->findChild<QLineEdit*>(QStringLiteral("txtCreateDeposit"))->setText(deposit);
    }
    QPushButton* button(const char* name) {
        return screen->findChild<QPushButton*>(QLatin1String(name));
    }
    // Presses "Preview Posting...", runs `act` on the window while it is open, then closes it.
    Shown preview(const std::function<void(frmPostingPreview&)>& act = {}) {
        Shown shown;
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<frmPostingPreview*>(QApplication::activeModalWidget());
            if (!window)
                return;
            opened = true;
            shown = readPreview(*window);
            if (act)
                act(*window);
            window->findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();
        });
        button("cmdPreview")->click();
        EXPECT_TRUE(opened) << "the posting preview did not open";
        return shown;
    }
    // Posts with the screen's choices, answering the questions of the run Yes.
    std::vector<ShownMessage> post() {
        const std::size_t seen = tp.dialogs.shown().size();
        tp.dialogs.allowAnyMessages();
        button("cmdUpdate")->click();
        tp.dialogs.allowAnyMessages(false);
        return {tp.dialogs.shown().begin() + static_cast<std::ptrdiff_t>(seen),
                tp.dialogs.shown().end()};
    }
    QStringList query(const QString& sql) const { return queryRows(ledger.path(), sql); }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<frmDownload> screen;
};

TEST_F(PostingPreviewTest, showsFigureForFigureWhatThePostingThenWrites) {
    stage(line("B1", "T42", "$980.50") + line("B2", "T43", "$1,000.00") +
          line("B3", "T99", "$25.00") + line("B4", "T42", "$45.00"));
    load();
    screen->stagedPayments().setData(
        screen->stagedPayments().index(3, StagedPayments::gridColumn(staged::PmtType)),
        QStringLiteral("Late Fee"));
    QPushButton* previewButton = button("cmdPreview");
    EXPECT_EQ(previewButton->text(), QStringLiteral("Pre&view Posting..."));
    EXPECT_TRUE(previewButton->isEnabled());
    EXPECT_EQ(previewButton->parentWidget(), button("cmdPrintScreen")->parentWidget());

    const Shown shown = preview();
    EXPECT_TRUE(shown.top.startsWith(
        QStringLiteral("This is what 'Update Lodgebook Ledgers NOW' would write now")));
    EXPECT_EQ(shown.tables.at("By Owner"),
              (Table{{"Owner, Olga", "Elm Court", "2", "$1,025.50", "1", "$78.44", "$947.06"},
                     {"Pat", "Pine Row", "1", "$1,000.00", "1", "$25.00", "$975.00"}}));
    EXPECT_EQ(shown.tables.at("Entries by Tenant"),
              (Table{{"T42", "Lee, Ann", "Rent", "4010", "$980.50", "03/02/2026", "1045",
                      "March RENT", "less than the rent of $1,250.00 by $269.50"},
                     {"T42", "Lee, Ann", "Late Fee", "4020", "$45.00", "03/02/2026", "1045",
                      "Late Fee", ""},
                     {"T42", "Lee, Ann", "Management Fee", "5010", "-$78.44", "03/02/2026", "",
                      "Management Fee", ""},
                     {"T43", "Bob", "Rent", "4010", "$1,000.00", "03/02/2026", "1045",
                      "March RENT", "more than the rent of $900.00 by $100.00"},
                     {"T43", "Bob", "Management Fee", "5010", "-$25.00", "03/02/2026", "",
                      "Management Fee", ""}}));
    EXPECT_EQ(shown.tables.at("Balances by Tenant"),
              (Table{{"T42", "Lee, Ann", "12 Oak St", "$100.00", "$1,125.50", "$50.00",
                      "$952.06"},
                     {"T43", "Bob", "3 Pine Rd", "-$20.00", "$980.00", "$0.00", "$975.00"}}));
    EXPECT_EQ(shown.tables.at("Returns to Record"), Table{});
    EXPECT_EQ(shown.tables.at("Rows Not Posted"),
              (Table{{"3", "T#99", "(not found-cannot post!)", "$25.00", "03/02/2026", "B3",
                      "Not found: no tenant has its account"}}));
    const std::map<QString, QString> figures = {
        {"Deposit Number:", "1045"},
        {"Deposit Date:", "03/14/2026"},
        {"Deposit Amount:", "$2,050.50"},
        {"Split Lines:", "4, $2,050.50"},
        {"Payments Posted:", "3, $2,025.50"},
        {"Management Fees:", "2, $103.44"},
        {"Returns Recorded:", "0, $0.00"},
        {"Fees Given Back:", "$0.00"},
        {"Ledger Entries:", "5"},
        {"Tenant Balances Change:", "$2,025.50"},
        {"Unit Balances Change:", "$1,877.06"},
        {"Rows Not Posted:", "1"}};
    EXPECT_EQ(shown.figures, figures);

    EXPECT_EQ(post().back().text, QStringLiteral("Your Lodgebook Ledgers are now updated."));
    // The ledger, read back and worded as the preview words it.
    Table entries;
    for (const QString& r : query(QStringLiteral(
             "SELECT TransPostToID, TransAccountID, TransAmount, TransDate, "
             "IFNULL(TransCheckNumber, ''), TransRemark FROM Transactions "
             "ORDER BY TransPostToID, TransID"))) {
        const QStringList f = r.split(QLatin1Char('|'));
        entries.push_back({"T" + f[0], f[1], formatCurrency(ledger::Currency::fromDouble(f[2].toDouble())),
                           formatDateText(QDate::fromString(f[3], Qt::ISODate).toString("MM/dd/yyyy")),
                           f[4], f[5]});
    }
    Table previewed;
    for (const QStringList& r : shown.tables.at("Entries by Tenant"))
        previewed.push_back({r[0], r[3], r[4], r[5], r[6], r[7]});
    EXPECT_EQ(entries, previewed);
    Table balances;
    for (const QString& r : query(QStringLiteral(
             "SELECT TenantID, TCurrBal, UCurrBal FROM Tenants JOIN Units ON UTenantID = TenantID "
             "ORDER BY TenantID"))) {
        const QStringList f = r.split(QLatin1Char('|'));
        balances.push_back({"T" + f[0], formatCurrency(ledger::Currency::fromDouble(f[1].toDouble())),
                            formatCurrency(ledger::Currency::fromDouble(f[2].toDouble()))});
    }
    Table previewedBalances;
    for (const QStringList& r : shown.tables.at("Balances by Tenant"))
        previewedBalances.push_back({r[0], r[4], r[6]});
    EXPECT_EQ(balances, previewedBalances);
    EXPECT_EQ(query(QStringLiteral("SELECT CkNumber, CkDate, CkAmount FROM CheckDepPrinted")),
              QStringList{"1045|2026-03-14|2050.5"});
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*), TOTAL(CkAmount) FROM SplitPrintedChecks")),
              QStringList{"4|2050.5"});
    EXPECT_EQ(query(QStringLiteral("SELECT TransOID, TransPID, SUM(TransAmount) FROM Transactions "
                                   "WHERE TransType = 'I' GROUP BY 1, 2")),
              (QStringList{"7|3|1025.5", "8|4|1000.0"}));
}

TEST_F(PostingPreviewTest, aRefusalIsShownAloneInThePostingRunsWords) {
    ledger.addTenant(44, 3, QStringLiteral("Cy"), QStringLiteral("Fox"));  // no unit
    stage(line("B1", "T42", "$1,250.00") + line("B2", "T44", "$700.00"));
    load();
    const Shown shown = preview([](frmPostingPreview& window) {
        EXPECT_TRUE(window.findChildren<QTableView*>().isEmpty());
    });
    EXPECT_TRUE(shown.tables.empty());
    EXPECT_TRUE(shown.figures.empty());
    const std::vector<ShownMessage> messages = post();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(shown.top, messages.back().text);
    EXPECT_TRUE(shown.top.startsWith(QStringLiteral("Not found: Tenant ID #44")));
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Transactions")), QStringList{"0"});
}

TEST_F(PostingPreviewTest, aReturnAndANotedRow_showWhatThePostingRecords_andLookingWritesNothing) {
    stage(line("B1", "T42", "$1,250.00"));
    load();
    ASSERT_EQ(post().back().text, QStringLiteral("Your Lodgebook Ledgers are now updated."));
    // The processor now reports B1 returned; B2 comes twice.
    tp.environment.clock = QDateTime(QDate(2026, 3, 20), QTime(8, 5));
    stage(line("B1", "T42", "$1,250.00", "Returned") + line("B2", "T43", "$900.00") +
          line("B2", "T43", "$900.00"));
    load(true, QString());
    const std::map<QString, QByteArray> before = folderBytes(tp.folder.path());
    const QStringList ledgerBefore = ledgerDump(ledger.path());
    const Shown shown = preview();
    EXPECT_EQ(folderBytes(tp.folder.path()), before);
    EXPECT_EQ(ledgerDump(ledger.path()), ledgerBefore);

    EXPECT_EQ(shown.tables.at("Returns to Record"),
              (Table{{"B1", "T42", "Lee, Ann", "03/14/2026", "4010", "-$1,250.00", "$100.00",
                      "03/20/2026", "Returned B1", "-$1,250.00", "-$1,150.00"}}));
    EXPECT_EQ(shown.tables.at("Rows Not Posted"),
              (Table{{"3", "T43", "Bob", "$900.00", "03/02/2026", "B2",
                      "Noted and left out: Repeated in this file"}}));
    EXPECT_EQ(shown.figures.at("Deposit:"), QStringLiteral("No deposit"));
    EXPECT_EQ(shown.figures.at("Ledger Entries:"), QStringLiteral("4"));

    post();
    Table returns;
    for (const QString& r : query(QStringLiteral(
             "SELECT TransAmount, TransRemark, TransDate FROM Transactions "
             "WHERE TransRemark = 'Returned B1' ORDER BY TransID")))
        returns.push_back(r.split(QLatin1Char('|')));
    EXPECT_EQ(returns, (Table{{"-1250.0", "Returned B1", "2026-03-20"},
                              {"100.0", "Returned B1", "2026-03-20"}}));
    Table balances;
    for (const QStringList& r : shown.tables.at("Balances by Tenant"))
        balances.push_back({r[0], r[4], r[6]});
    EXPECT_EQ(balances, (Table{{"T42", "$100.00", "$50.00"}, {"T43", "$880.00", "$875.00"}}));
    EXPECT_EQ(query(QStringLiteral("SELECT TenantID, TCurrBal, UCurrBal FROM Tenants JOIN Units "
                                   "ON UTenantID = TenantID ORDER BY 1")),
              (QStringList{"42|100.0|50.0", "43|880.0|875.0"}));
}

TEST_F(PostingPreviewTest, saveAsPdf_writesTheFileInTheProgramFolderAndOpensIt) {
    stage(line("B1", "T42", "$980.50") + line("B2", "T99", "$25.00"));
    load();
    const QString path = tp.path(QStringLiteral("Corvane Posting Preview 2026-03-14 0930.pdf"));
    tp.dialogs.expectMessage(
        QStringLiteral("The posting preview was written to:\r") + QDir::toNativeSeparators(path),
        QStringLiteral("Corvane Posting Preview"));
    preview([](frmPostingPreview& window) {
        auto* save = window.findChild<QPushButton*>(QStringLiteral("cmdSavePdf"));
        EXPECT_EQ(save->text(), QStringLiteral("&Save as PDF..."));
        save->click();
    });
    EXPECT_EQ(tp.shell.openedDocuments, QStringList{path});
    QStringList lines;
    for (const QString& l : pdfText(path).split(QLatin1Char('\n'))) {
        const QString simplified = l.simplified();
        if (!simplified.isEmpty())
            lines << simplified;
    }
    for (const char* expected :
         {"Corvane Posting Preview", "By Owner",
          "Owner Property Payments Total Fees Fees Total Total Less Fees",
          "Owner, Olga Elm Court 1 $980.50 1 $78.44 $902.06",
          "T42 Lee, Ann Rent 4010 $980.50 03/02/2026 1045 March RENT less than the rent of "
          "$1,250.00 by $269.50",
          "2 T#99 (not found-cannot post!) $25.00 03/02/2026 B2 Not found: no tenant has its "
          "account",
          "Deposit Number: 1045", "Split Lines: 2, $1,005.50", "Ledger Entries: 2",
          "Page 1 of 1"})
        EXPECT_TRUE(lines.contains(QLatin1String(expected)))
            << expected << "\n" << lines.join('\n').toStdString();
}

}  // namespace
}  // namespace corvane::test
