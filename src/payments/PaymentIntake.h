#pragma once

#include "app/Globals.h"

#include <QString>
#include <QStringList>

namespace corvane {

// The archive step: the staged payment file becomes "paymentHistory_LastDownload.csv", replacing
// an earlier archive in one rename (at every instant the old or the new archive exists).
void ArchiveStagedPaymentFile(Globals& globals);

}  // namespace corvane
