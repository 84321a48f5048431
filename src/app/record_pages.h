#pragma once

#include <QObject>

struct FamilyContext;
class QComboBox;
class QSpinBox;
class RecordTable;

// The record grids of the scene, IR, input-module and monitor tab sheets, with their
// filters. The families of those tabs add their own controls beside them.
class RecordPages : public QObject {
    Q_OBJECT
public:
    explicit RecordPages(FamilyContext& context);

    void SpinEdit37Change(); // input module filter
    void ComboBox27Change(); // device type filter
    void SpinEdit38Change(); // monitor slot lookup

private:
    void buildScenePage();
    void buildIrPage();
    void buildInputPage();
    void buildMonitorPage();
    void applyFilter(RecordTable& table, const QString& expression);

    FamilyContext& m_context;
    QSpinBox* m_inputModule = nullptr;
    QComboBox* m_deviceType = nullptr;
    QSpinBox* m_slot = nullptr;
    QSpinBox* m_channel = nullptr;
    QSpinBox* m_irNo = nullptr;
};
