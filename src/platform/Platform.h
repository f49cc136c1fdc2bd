#pragma once

#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Printer.h"

namespace corvane {

// The narrow interfaces through which the program reaches the world. The real program passes the
// real implementations; tests pass doubles.
struct Platform {
    Dialogs& dialogs;
    Files& files;
    Environment& environment;
    Shell& shell;
    Printers& printers;
    Sessions& sessions;
};

}  // namespace corvane
