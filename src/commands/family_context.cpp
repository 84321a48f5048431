#include "commands/family_context.h"

#include "widgets/form_builder.h"

#include <QGroupBox>
#include <QLayout>
#include <QScrollArea>
#include <QTabWidget>

QWidget* FamilyContext::page(const QString& name) const {
    QWidget* sheet = pages->findChild<QWidget*>(name);
    // A tab sheet scrolls: what it shows lives in the widget inside the scroll area.
    if (auto* scroll = qobject_cast<QScrollArea*>(sheet))
        return scroll->widget();
    return sheet;
}

QGroupBox* FamilyContext::pageGroup(const QString& pageName, const QString& name,
                                    const QString& caption) const {
    QWidget* sheet = page(pageName);
    auto* group = form::group(sheet, name, caption);
    sheet->layout()->addWidget(group);
    return group;
}
