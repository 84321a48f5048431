#pragma once

#include "commands/family_context.h"

#include <QObject>

class QComboBox;
class QSpinBox;

// The "Monitor Bindings" tab: the 224 device slots of the bus switch bound to modules and
// channels (or IR codes), kept in "Monitor Bind Records".
class MonitorBindingFamily : public QObject {
    Q_OBJECT
public:
    explicit MonitorBindingFamily(FamilyContext& ctx);

    void ComboBox27Change(); // device type filter, slot preset, which spin edit counts
    void SpinEdit38Change(); // slot lookup

private:
    FamilyContext& m_ctx;
    QComboBox* m_deviceType = nullptr; // ComboBox27
    QSpinBox* m_slot = nullptr;        // SpinEdit38
    QSpinBox* m_channel = nullptr;     // SpinEdit41
    QSpinBox* m_irNo = nullptr;        // SpinEdit44
};
