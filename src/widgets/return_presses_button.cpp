#include "widgets/return_presses_button.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

void ReturnPressesButton::install(QObject* owner) {
    if (owner->findChild<ReturnPressesButton*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    QCoreApplication::instance()->installEventFilter(new ReturnPressesButton(owner));
}

bool ReturnPressesButton::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    auto* button = qobject_cast<QPushButton*>(watched);
    // A dialog's default buttons already take Return themselves.
    if (!button || !button->hasFocus() || !button->isEnabled() || button->autoDefault() ||
        button->isDefault())
        return false;
    button->animateClick();
    return true;
}

#include "moc_return_presses_button.cpp"
