#include "app/PostingLog.h"

namespace corvane {

bool ReadPostingLog(Globals&) { return false; }
QString LastDateLabel(const Globals&) { return {}; }
QString LastBalanceLabel(const Globals&) { return {}; }
QString LastDateRangeLabel(const Globals&) { return {}; }
void WritePostingLog(Globals&) {}

}  // namespace corvane
