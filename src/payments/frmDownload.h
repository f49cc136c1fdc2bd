#pragma once

#include "app/Globals.h"

#include <QDialog>

namespace corvane {

// The payment download screen. The opener constructs it, runs Load() (the loading, which may
// show messages), then exec() (modal).
class frmDownload : public QDialog {
    Q_OBJECT
public:
    explicit frmDownload(Globals& globals, QWidget* parent = nullptr);
    void Load();

private:
    Globals& globals_;
};

}  // namespace corvane
