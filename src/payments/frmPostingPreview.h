#pragma once

#include "core/Globals.h"
#include "payments/PostingPreview.h"

#include <QDialog>

class QPushButton;

namespace corvane {

// The posting preview: what "Update Lodgebook Ledgers NOW" would write now (PostingPreview),
// shown modal over the payment screen, every table and figure under its caption. "&Save as
// PDF..." writes "Corvane Posting Preview yyyy-mm-dd hhmm.pdf" in the program folder and opens
// it; "&Close" closes the window. Nothing else is written.
class frmPostingPreview : public QDialog {
    Q_OBJECT
public:
    frmPostingPreview(Globals& globals, const PostingPreview& preview, QWidget* parent = nullptr);

    // Writes the preview's PDF and opens it (the Save button's work).
    void SaveAsPdf();

private:
    Globals& globals_;
    const PostingPreview& preview_;
    QPushButton* cmdSavePdf_;
    QPushButton* cmdClose_;
};

inline const QString kPostingPreviewTitle = QStringLiteral("Corvane Posting Preview");

// "Corvane Posting Preview yyyy-mm-dd hhmm.pdf", by the time it is written.
QString PostingPreviewFileName(const QDateTime& at);

// Writes the preview as a PDF (WritePdfReport): the sentence at its top, or the refusal alone;
// then each table, the deposit and the totals. Throws corvane::Error 75.
void WritePostingPreview(const PostingPreview& preview, const QString& path);

}  // namespace corvane
