#pragma once

#include "commands/family_context.h"
#include "protocol/module_admin_requests.h"

#include <QObject>

class QLineEdit;
class QSpinBox;
struct Reply;

// "Subnet Module Settings" on the "Module Settings" tab: read, set and test a module's
// address, read its type and software version, restore it. Also the home of the type and
// version replies of the bus switch (address 0xFF), whose fields Edit13 and Edit14 sit in
// "Bus Switch Settings"; its settings reply, which shares 0x80/0x05 with the address
// read-back, has a handler of its own there.
class ModuleAdminFamily : public QObject {
    Q_OBJECT
public:
    explicit ModuleAdminFamily(FamilyContext& ctx);

    void Button22Click(); // "Read"
    void Button23Click(); // "Test"
    void Button1Click();  // "Set"
    void Button12Click(); // "Read Module Type"
    void Button29Click(); // "Read Software Version"
    void Button31Click(); // "Restore"

    void addressReply(const Reply& reply); // 0x80/0x05 from a module
    void typeReply(const Reply& reply);    // 0x80/0x06
    void versionReply(const Reply& reply); // 0x80/0x07

private:
    void buildModuleGroup(QWidget* page);
    int module() const;
    // Reply byte 3 = 0xFF: the bus switch answered, its own field takes the text.
    QLineEdit* resultField(const Reply& reply, const char* moduleField,
                           const char* busSwitchField) const;

    FamilyContext& m_ctx;
    QSpinBox* m_address = nullptr;
};
