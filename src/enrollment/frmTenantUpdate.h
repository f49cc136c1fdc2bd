#pragma once

#include "app/Globals.h"

#include <QDialog>

namespace corvane {

// The tenant enrollment screen. The opener constructs it, runs Load() (the loading, which may
// show messages), then exec() (modal).
class frmTenantUpdate : public QDialog {
    Q_OBJECT
public:
    explicit frmTenantUpdate(Globals& globals, QWidget* parent = nullptr);
    void Load();

private:
    Globals& globals_;
};

}  // namespace corvane
