#include "core/Preferences.h"

#include "core/TextRules.h"
#include "platform/TextCodec.h"
#include "platform/ledger/Currency.h"

#include <limits>

namespace corvane {
namespace {

// Where the account number of a category begins: two characters (the code and its separator)
// after the first ";". Without a ";" its position counts as 0, so the number starts at the third
// character.
qsizetype numberStart(const QString& category) {
    return category.indexOf(QLatin1Char(';')) + 1 + 2;
}

}  // namespace

LedgerPreferences LoadIDFile(Files& files, const QString& path) {
    const QByteArray bytes = files.readAll(path);
    FieldReader reader(decodeAnsi(bytes));
    QString fields[19];
    for (int field = 0; !reader.atEnd(); ++field) {
        QString value = reader.next();
        if (field < 19)
            fields[field] = std::move(value);
    }
    return readLedgerPreferences(fields[9], fields[10], fields[15], fields[16], fields[17],
                                 fields[18]);
}

CategoryPreference readCategory(const QString& stored) {
    CategoryPreference category;
    category.text = stored;
    const QString trimmed = trimBlanks(stored);
    category.code = trimmed.mid(trimmed.indexOf(QLatin1Char(';')) + 1, 1);
    const qsizetype start = numberStart(trimmed);
    if (start >= trimmed.size())
        return category;
    const QString numberText = trimBlanks(trimmed.mid(start));
    category.valid = !numberText.isEmpty() && ledger::Currency::fromText(numberText).has_value();
    const QStringView digits = ledger::decimalPrefix(QStringView(trimmed).mid(start));
    const std::int64_t number =
        ledger::Currency::fromTextRounded(digits, 0).value_or(ledger::Currency()).roundedToWhole();
    if (number <= std::numeric_limits<int>::max() && number >= std::numeric_limits<int>::min())
        category.account = number;
    return category;
}

LedgerPreferences readLedgerPreferences(const QString& rentIncomeCategory,
                                        const QString& rentIncomeRemark,
                                        const QString& mgmtFeeCategory,
                                        const QString& mgmtFeeRemark,
                                        const QString& lateFeeCategory,
                                        const QString& lateFeeRemark) {
    return {readCategory(rentIncomeCategory), trimBlanks(rentIncomeRemark),
            readCategory(mgmtFeeCategory),    trimBlanks(mgmtFeeRemark),
            readCategory(lateFeeCategory),    trimBlanks(lateFeeRemark)};
}

}  // namespace corvane
