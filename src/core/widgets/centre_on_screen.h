// Dialogs of this program open centred on the screen rather than on their parent.
#pragma once

class QWidget;

namespace quendrix {
void CentreOnScreen(QWidget* window);
}
