#include "commands/family_context.h"

#include <QScrollArea>
#include <QTabWidget>

QWidget* FamilyContext::page(const QString& name) const {
    QWidget* sheet = pages->findChild<QWidget*>(name);
    // A tab sheet scrolls: what it shows lives in the widget inside the scroll area.
    if (auto* scroll = qobject_cast<QScrollArea*>(sheet))
        return scroll->widget();
    return sheet;
}
