// The ledger engine's translation of Jet SQL texts and find criteria, and running a translated
// criterion against a small ledger.
#include "FuzzCheck.h"
#include "LodgebookSchema.h"
#include "platform/Error.h"
#include "platform/ledger/Database.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace corvane;

namespace {
ledger::Database& sampleLedger() {
    static QTemporaryDir dir;
    static std::unique_ptr<ledger::Database> db = [] {
        const QString path = dir.filePath(QStringLiteral("lbdatafl.mdb"));
        lodgebook::createLedger(path);
        auto opened = ledger::Database::open(path);
        auto units = opened->openTable(QStringLiteral("Units"));
        for (int i = 1; i <= 3; ++i) {
            units->addNew();
            units->setField(QStringLiteral("UnitID"), ledger::Value::integer(i));
            units->setField(QStringLiteral("UTenantID"), ledger::Value::integer(40 + i));
            units->setField(QStringLiteral("UAddress"), ledger::Value::text(QStringLiteral("12 Oak St")));
            units->update();
        }
        return opened;
    }();
    return *db;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data),
                                           static_cast<qsizetype>(size));
    // A translation, or a refusal with the engine's error number and a description; the same
    // text translates the same every time.
    for (int kind = 0; kind < 2; ++kind) {
        const auto translate = [&] {
            return kind == 0 ? ledger::Database::translateJetSql(text)
                             : ledger::Database::translateJetCriterion(text);
        };
        try {
            const QString sql = translate();
            FUZZ_CHECK(translate() == sql);
        } catch (const Error& e) {
            FUZZ_CHECK(e.number() >= 3000);
            FUZZ_CHECK(!e.description().isEmpty());
        }
    }

    // A criterion on a real record set: a match, no match, or a typed error; never anything else.
    try {
        auto units = sampleLedger().openDynaset(QStringLiteral("SELECT * FROM Units"));
        units->findFirst(text);
        if (!units->noMatch()) FUZZ_CHECK(!units->field(QStringLiteral("UnitID")).isNull());
    } catch (const Error& e) {
        FUZZ_CHECK(e.number() != 0);
    }
    return 0;
}
