#include "commands/module_admin_family.h"

#include "link/bus.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

ModuleAdminFamily::ModuleAdminFamily(FamilyContext& ctx) : m_ctx(ctx) {
    buildModuleGroup(ctx.page(QStringLiteral("TabSheet1")));
    ctx.bus.registerReply(this, 0x80, 0x05, [this](const Reply& r) { addressReply(r); });
    ctx.bus.registerReply(this, 0x80, 0x06, [this](const Reply& r) { typeReply(r); });
    ctx.bus.registerReply(this, 0x80, 0x07, [this](const Reply& r) { versionReply(r); });
}

void ModuleAdminFamily::buildModuleGroup(QWidget* page) {
    auto* box = form::group(page, QStringLiteral("grp1"), QStringLiteral("Subnet Module Settings"));
    m_address = form::spin(box, QStringLiteral("SpinEdit1"), 0, 33, 1);
    auto* type = form::edit(box, QStringLiteral("Edit1"));
    auto* version = form::edit(box, QStringLiteral("Edit2"));

    auto* grid = new QGridLayout(box);
    form::row(grid, 0, 0, QStringLiteral("Label8"), QStringLiteral("Module Addr. :"), m_address);

    form::buttons(box, grid, this,
                  {
                      {"Button22", "Read", [this] { Button22Click(); }, 1, 0},
                      {"Button23", "Test", [this] { Button23Click(); }, 1, 1},
                      {"Button1", "Set", [this] { Button1Click(); }, 1, 2},
                      {"Button12", "Read Module Type", [this] { Button12Click(); }, 2, 0},
                      {"Button29", "Read Software Version", [this] { Button29Click(); }, 3, 0},
                      {"Button31", "Restore", [this] { Button31Click(); }, 4, 0},
                  });
    grid->addWidget(type, 2, 1, 1, 2);
    grid->addWidget(version, 3, 1, 1, 2);
    page->layout()->addWidget(box);
    page->layout()->setAlignment(box, Qt::AlignLeft | Qt::AlignTop);
}

int ModuleAdminFamily::module() const {
    return form::value(m_address);
}

void ModuleAdminFamily::Button22Click() {
    m_ctx.bus.send(moduleadmin::readAddress());
}
void ModuleAdminFamily::Button23Click() {
    m_ctx.bus.send(moduleadmin::test(module()));
}
void ModuleAdminFamily::Button1Click() {
    m_ctx.bus.send(moduleadmin::setAddress(module()));
}
void ModuleAdminFamily::Button12Click() {
    m_ctx.bus.send(moduleadmin::readType(module()));
}
void ModuleAdminFamily::Button29Click() {
    m_ctx.bus.send(moduleadmin::readVersion(module()));
}

void ModuleAdminFamily::Button31Click() {
    if (!m_ctx.prompts.confirm(QStringLiteral("Are you sure?")))
        return;
    m_ctx.bus.send(moduleadmin::restore(module()));
}

void ModuleAdminFamily::addressReply(const Reply& reply) {
    // The spin edit keeps the shown value inside 0..33.
    m_address->setValue(reply[7]);
}

QLineEdit* ModuleAdminFamily::resultField(const Reply& reply, const char* moduleField,
                                          const char* busSwitchField) const {
    const char* name = reply[3] == 0xFF ? busSwitchField : moduleField;
    QWidget* page = m_ctx.page(QStringLiteral("TabSheet1"));
    return page ? page->findChild<QLineEdit*>(QString::fromLatin1(name)) : nullptr;
}

void ModuleAdminFamily::typeReply(const Reply& reply) {
    if (QLineEdit* field = resultField(reply, "Edit1", "Edit13"))
        field->setText(moduleadmin::typeText(reply));
}

void ModuleAdminFamily::versionReply(const Reply& reply) {
    if (QLineEdit* field = resultField(reply, "Edit2", "Edit14"))
        field->setText(moduleadmin::versionText(reply));
}

#include "moc_module_admin_family.cpp"
