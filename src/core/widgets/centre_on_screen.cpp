#include "core/widgets/centre_on_screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quendrix {

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

}  // namespace quendrix
