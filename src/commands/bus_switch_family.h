#pragma once

#include "commands/family_context.h"

#include <QList>
#include <QObject>

class QGridLayout;
class QLineEdit;
class QSpinBox;
struct Reply;

// "Bus Switch Settings" on the "Module Settings" tab: the gateway's network settings (set,
// and read back by broadcast without knowing its subnet or password), its type and software
// version, restore, password and transparent mode. The type and version replies land in this
// group's fields through module administration, which tells the two apart by the address.
class BusSwitchFamily : public QObject {
    Q_OBJECT
public:
    explicit BusSwitchFamily(FamilyContext& ctx);

    void btn1Click();     // "Set"
    void btn2Click();     // "Read"
    void Button9Click();  // "Read Module Type"
    void Button33Click(); // "Read Software Version"
    void Button34Click(); // "Restore"
    void Button38Click(); // "Set Password"
    void Button39Click(); // "设置透传模式"

    // 0x80/0x05 from the bus switch itself: its settings block into the fields.
    void settingsReply(const Reply& reply);

private:
    void buildSettingsRows(QWidget* box, QGridLayout* grid);
    void buildButtons(QWidget* box, QGridLayout* grid, int firstRow);
    quint16 subnet() const;

    FamilyContext& m_ctx;
    QSpinBox* m_subnet = nullptr;    // "Subnet ID :" of the bus switch
    QList<QLineEdit*> m_fields;      // the 24 settings edits, in block order
    QLineEdit* m_password = nullptr; // Edit16
};
