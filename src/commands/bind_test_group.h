#pragma once

#include "commands/family_context.h"
#include "protocol/monitor_requests.h"

#include <QObject>

#include <functional>

class QCheckBox;
class QRadioButton;
class QSpinBox;
struct Reply;

// The "Binding Function Test" group of the "Monitor Bindings" tab: lights, curtains and air
// conditioners addressed by room and device number, and scenes, exercised with bind-test
// frames that the gateway passes on to the bound module. It keeps no state: its check boxes
// show the last status reply.
class BindTestGroup : public QObject {
    Q_OBJECT
public:
    // `slotLookup` runs when the room, device or scene number changes (the slot lookup of the
    // binding group, which those spin edits share).
    BindTestGroup(FamilyContext& ctx, std::function<void()> slotLookup);

    void Button51Click(); // light "On"
    void Button53Click(); // light "Off"
    void Button56Click(); // light "Read Status"
    void Button57Click(); // curtain "Open"
    void Button58Click(); // curtain "Close"
    void Button60Click(); // curtain "Stop"
    void Button59Click(); // curtain "Read Status"
    void Button55Click(); // air conditioner "Control"
    void Button61Click(); // scene "Control"

    // Every bind-test reply; only the status reports of lights and curtains change anything.
    void bindReply(const Reply& reply);

private:
    QWidget* buildLightGroup(QWidget* parent);
    QWidget* buildCurtainGroup(QWidget* parent);
    QWidget* buildAcGroup(QWidget* parent);
    QWidget* buildSceneGroup(QWidget* parent);
    int room() const;
    int device() const;
    bindtest::AcMode acMode() const;
    void send(const QByteArray& payload);

    FamilyContext& m_ctx;
    std::function<void()> m_slotLookup;
    QSpinBox* m_room = nullptr;          // SpinEdit39
    QSpinBox* m_device = nullptr;        // SpinEdit40
    QCheckBox* m_lightOn = nullptr;      // CheckBox14
    QCheckBox* m_lightOff = nullptr;     // CheckBox15
    QCheckBox* m_curtainOpen = nullptr;  // CheckBox16
    QCheckBox* m_curtainClose = nullptr; // CheckBox17
    QRadioButton* m_modes[4] = {};       // RadioButton3 .. RadioButton6
    QSpinBox* m_scene = nullptr;         // SpinEdit43
};
