#pragma once

#include "commands/family_context.h"
#include "protocol/monitor_requests.h"
#include "protocol/sequence_engine.h"

#include <QObject>

#include <memory>

class BindTestGroup;
class QComboBox;
class QSpinBox;
class RecordTable;
struct Reply;

// The "Monitor Bindings" tab: the 224 device slots of the gateway bound to modules and
// channels (or IR codes), kept in "Monitor Bind Records", set one at a time and read back
// by device type in a sequence; beside them the binding function test.
class MonitorBindingFamily : public QObject {
    Q_OBJECT
public:
    MonitorBindingFamily(FamilyContext& ctx, SequenceEngine& sequences);
    ~MonitorBindingFamily() override;

    void ComboBox27Change(); // device type filter, slot preset, which spin edit counts
    void SpinEdit38Change(); // slot lookup
    void Button36Click();    // "Set"
    void Button52Click();    // "Read All Bindings"

    // 0x80/0x0E: a binding set.
    void bindingSetAck(const Reply& reply);

private:
    void buildBindingGroup();
    // Moves the table to the slot's row; false when the table has none (or the filter hides it).
    bool locateSlot(int slot);
    monitor::Slot currentSlot(int order) const;
    QString deviceType() const;

    FamilyContext& m_ctx;
    SequenceEngine& m_sequences;
    // The slot and binding of the Set on its way: its acknowledgement records what was sent.
    struct PendingSet {
        int slot = 0;
        monitor::Binding binding;
    } m_pendingSet;

    QComboBox* m_deviceType = nullptr; // ComboBox27
    QSpinBox* m_slot = nullptr;        // SpinEdit38
    QSpinBox* m_module = nullptr;      // SpinEdit42
    QSpinBox* m_channel = nullptr;     // SpinEdit41
    QSpinBox* m_irNo = nullptr;        // SpinEdit44
    std::unique_ptr<BindTestGroup> m_test;
};
