#pragma once

class QWidget;

namespace corvane {

// Moves a window so that it stands in the middle of its screen (the primary screen when it has
// none yet), as every window of the program opens.
void CentreOnScreen(QWidget& window);

}  // namespace corvane
