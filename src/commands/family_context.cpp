#include "commands/family_context.h"

#include <QTabWidget>

QWidget* FamilyContext::page(const QString& name) const {
    return pages->findChild<QWidget*>(name);
}
