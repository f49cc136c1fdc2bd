#include "payments/StagedPayments.h"
#include "support/Payments.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QStyleOptionViewItem>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace corvane::test {
namespace {

const QString kPmtTypeMessage =
    QStringLiteral("Only the words 'Rent' or 'Late Fee' are allowed under Pmt Type");

Payment payment(const QString& tid, const QString& amount) {
    return test::makePayment({.tid = tid, .amount = amount, .type = QStringLiteral("Rent")});
}

PaymentKind kindOf(const StagedPayments& model, int row) {
    return model.rows().at(static_cast<size_t>(row)).kind;
}

class StagedModelTest : public ::testing::Test {
protected:
    StagedModelTest() {
        // As the payment screen shows a refused edit.
        QObject::connect(&model, &StagedPayments::editRefused,
                         [this](const UserMessage& message) { tell(dialogs, message); });
        model.setRows({payment("T1", "1234.5"), payment("T2", "-25.00"), payment("T#3", "0.5")});
    }
    QModelIndex at(int row, int cell) { return model.index(row, StagedPayments::gridColumn(cell)); }

    ScriptedDialogs dialogs;
    StagedPayments model;
};

TEST_F(StagedModelTest, showsTheTypedPaymentsInTheirColumnsAndTheAmountAsCurrency) {
    EXPECT_EQ(model.columnCount(), 13);
    EXPECT_EQ(model.data(at(0, staged::Amount)).toString(), QStringLiteral("$1,234.50"));
    EXPECT_EQ(model.data(at(0, staged::Amount), Qt::EditRole).toString(), QStringLiteral("1234.5"));
    EXPECT_EQ(model.data(at(1, staged::Amount)).toString(), QStringLiteral("-$25.00"));
    EXPECT_EQ(model.data(at(1, staged::TID)).toString(), QStringLiteral("T2"));
    EXPECT_EQ(model.data(at(2, staged::TID)).toString(), QStringLiteral("T#3"));
    EXPECT_EQ(model.data(at(2, staged::PmtType)).toString(), QStringLiteral("Rent"));
    EXPECT_FALSE(model.data(model.index(5, 0)).isValid());
}

TEST_F(StagedModelTest, onlyPmtTypeIsEditable) {
    for (int c = 0; c < model.columnCount(); ++c) {
        EXPECT_EQ(model.flags(model.index(0, c)).testFlag(Qt::ItemIsEditable),
                  c == StagedPayments::gridColumn(staged::PmtType))
            << c;
    }
    EXPECT_FALSE(model.setData(at(0, staged::TID), QStringLiteral("T9")));
    EXPECT_EQ(model.data(at(0, staged::TID)).toString(), QStringLiteral("T1"));
}

TEST_F(StagedModelTest, pmtTypeTakesExactlyRentOrLateFee) {
    EXPECT_TRUE(model.setData(at(1, staged::PmtType), QStringLiteral("Late Fee")));
    EXPECT_EQ(kindOf(model, 1), PaymentKind::LateFee);
    for (const QString& bad : {QStringLiteral("rent"), QStringLiteral("Late fee"),
                               QStringLiteral(" Rent"), QString(), QStringLiteral("Fee")}) {
        dialogs.expectMessage(kPmtTypeMessage, QStringLiteral("Pmt Type Edit"));
        EXPECT_FALSE(model.setData(at(1, staged::PmtType), bad)) << bad.toStdString();
        EXPECT_EQ(kindOf(model, 1), PaymentKind::LateFee);
    }
    EXPECT_TRUE(model.setData(at(1, staged::PmtType), QStringLiteral("Rent")));
    EXPECT_EQ(model.data(at(1, staged::PmtType)).toString(), QStringLiteral("Rent"));
}

TEST_F(StagedModelTest, theDropDownOffersTheTwoWords) {
    PmtTypeDelegate delegate;
    QWidget parent;
    std::unique_ptr<QWidget> editor(
        delegate.createEditor(&parent, QStyleOptionViewItem(), at(0, staged::PmtType)));
    auto* box = qobject_cast<QComboBox*>(editor.get());
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(0), QStringLiteral("Rent"));
    EXPECT_EQ(box->itemText(1), QStringLiteral("Late Fee"));
    box->setCurrentIndex(1);
    delegate.setModelData(box, &model, at(2, staged::PmtType));
    EXPECT_EQ(kindOf(model, 2), PaymentKind::LateFee);

    // Picking an item commits it at once and closes the editor.
    int commits = 0;
    int closes = 0;
    QObject::connect(&delegate, &QAbstractItemDelegate::commitData, [&] { ++commits; });
    QObject::connect(&delegate, &QAbstractItemDelegate::closeEditor, [&] { ++closes; });
    Q_EMIT box->activated(0);
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(closes, 1);
}

TEST_F(StagedModelTest, removeRowsKeepsTheOthersInOrder) {
    EXPECT_TRUE(model.removeRows(1, 1));
    ASSERT_EQ(model.StagedCount(), 2);
    EXPECT_EQ(model.rows().at(0).tenantID, 1);
    EXPECT_EQ(model.rows().at(1).account, QStringLiteral("T3"));
    EXPECT_FALSE(model.removeRows(1, 2));
    EXPECT_FALSE(model.removeRows(-1, 1));
    EXPECT_TRUE(model.removeRows(0, 2));
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace corvane::test
