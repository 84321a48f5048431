#include "widgets/screen_fit.h"

#include <QScreen>
#include <QWidget>

namespace screenfit {

void keepOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    QRect at = window->geometry();
    if (room.contains(at))
        return;
    at.setSize(at.size().boundedTo(room.size()).expandedTo(window->minimumSize()));
    at.moveLeft(qBound(room.left(), at.left(), qMax(room.left(), room.right() - at.width() + 1)));
    at.moveTop(qBound(room.top(), at.top(), qMax(room.top(), room.bottom() - at.height() + 1)));
    window->setGeometry(at);
}

} // namespace screenfit
