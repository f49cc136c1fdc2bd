#include "app/Preferences.h"

#include "app/TextRules.h"
#include "platform/TextCodec.h"

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

void LoadIDFile(Globals& globals) {
    const QByteArray bytes =
        globals.files().readAll(globals.pathInProgramFolder(kPreferencesFileName));
    FieldReader reader(decodeAnsi(bytes));
    for (int field = 0; !reader.atEnd(); ++field) {
        const QString value = reader.next();
        switch (field) {
            case 9:
                globals.RentIncomeCategory = value;
                break;
            case 10:
                globals.RentIncomeRemark = value;
                break;
            case 15:
                globals.MgmtFeeCategory = value;
                break;
            case 16:
                globals.MgmtFeeRemark = value;
                break;
            case 17:
                globals.LateFeeCategory = value;
                break;
            case 18:
                globals.LateFeeRemark = value;
                break;
            default:
                break;
        }
    }
}

int CategoryNumber(QString& category) {
    category = trimBlanks(category);
    const qsizetype start = numberStart(category);
    if (start >= category.size())
        return 0;
    const QStringView digits = ledger::decimalPrefix(QStringView(category).mid(start));
    const std::int64_t number =
        ledger::Currency::fromTextRounded(digits, 0).value_or(ledger::Currency()).roundedToWhole();
    if (number > std::numeric_limits<int>::max() || number < std::numeric_limits<int>::min()) {
        return 0;
    }
    return static_cast<int>(number);
}

QString CategoryCode(QString& category) {
    category = trimBlanks(category);
    return category.mid(category.indexOf(QLatin1Char(';')) + 1, 1);
}

QString CategoryNumberText(const QString& category) {
    const QString trimmed = trimBlanks(category);
    const qsizetype start = numberStart(trimmed);
    return start >= trimmed.size() ? QString() : trimBlanks(trimmed.mid(start));
}

}  // namespace corvane
