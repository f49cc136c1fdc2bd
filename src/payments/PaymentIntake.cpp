#include "payments/PaymentIntake.h"

namespace corvane {

void ArchiveStagedPaymentFile(Globals&) {}

}  // namespace corvane
