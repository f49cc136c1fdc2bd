#pragma once

#include "app/Globals.h"

#include <QWidget>

namespace corvane {

// The exchange files viewer: a modeless top-level window (no parent, so it may outlive the main
// menu). The opener constructs it, runs Load(), then show().
class frmViewFiles : public QWidget {
    Q_OBJECT
public:
    explicit frmViewFiles(Globals& globals, QWidget* parent = nullptr);
    void Load();

private:
    Globals& globals_;
};

}  // namespace corvane
