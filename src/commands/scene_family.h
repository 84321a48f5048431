#pragma once

#include "commands/family_context.h"

#include <QList>
#include <QObject>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;
class RecordTable;
struct Reply;

// The "Scene Settings" tab: scenes stored in light, curtain and IR modules, called on the
// whole bus and cleared, and the scenes the modules confirmed in "Scene Records".
class SceneFamily : public QObject {
    Q_OBJECT
public:
    explicit SceneFamily(FamilyContext& ctx);

    void Button7Click();  // "Set" of "Light/Curtain Module"
    void Button37Click(); // "Set" of "IR Module"
    void Button8Click();  // "Test Scene"
    void Button13Click(); // "Clear All Scenes"

    // 0x80/0x02: the module stored the scene; its row is written from the controls.
    void sceneStored(const Reply& reply);
    // 0x80/0x03: the module emptied its scenes; so do its rows.
    void scenesCleared(const Reply& reply);

private:
    QGroupBox* buildTargetGroup(QWidget* parent);
    QGroupBox* buildIrGroup(QWidget* parent);
    int module() const;
    int sceneNo() const;
    int channels() const;
    QList<int> targetItems() const;
    QList<int> irNumbers() const;

    FamilyContext& m_ctx;
    QSpinBox* m_module = nullptr;   // SpinEdit5
    QSpinBox* m_scene = nullptr;    // SpinEdit4
    QSpinBox* m_channels = nullptr; // SpinEdit6
    QLineEdit* m_name = nullptr;    // Edit10
    QList<QComboBox*> m_targets;    // ComboBox6 .. ComboBox13
    QList<QSpinBox*> m_irSlots;     // SpinEdit21 .. SpinEdit28
    // The Set pressed last was the IR one: its acknowledgement stores the IR numbers.
    bool m_sceneIsIr = false;
};
