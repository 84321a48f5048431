#include "commands/family_context.h"

#include "commands/form_builder.h"

#include <QGroupBox>
#include <QLayout>
#include <QTabWidget>

QWidget* FamilyContext::page(const QString& name) const {
    return pages->findChild<QWidget*>(name);
}

QGroupBox* FamilyContext::pageGroup(const QString& pageName, const QString& name,
                                    const QString& caption) const {
    QWidget* sheet = page(pageName);
    auto* group = form::group(sheet, name, caption);
    sheet->layout()->addWidget(group);
    return group;
}
