#pragma once

#include "commands/family_context.h"
#include "protocol/binding_requests.h"
#include "protocol/sequence_engine.h"

#include <QObject>

class QComboBox;
class QGridLayout;
class QSpinBox;
class QWidget;

// The "Input Module Settings" tab: what each input channel of an input module triggers, and
// those bindings in "Bind Records", filtered by input module. "Read All Control Data" and
// "Delete All Control Data" walk the 14 channels of the module below the grid in a sequence.
class InputBindingFamily : public QObject {
    Q_OBJECT
public:
    InputBindingFamily(FamilyContext& ctx, SequenceEngine& sequences);

    void Button35Click();    // "Set"
    void Button50Click();    // "Read All Control Data"
    void Button48Click();    // "Delete All Control Data"
    void SpinEdit37Change(); // input module filter

private:
    QGridLayout* buildSettings(QWidget* group);
    // What the controls hold, which a Set sends and its acknowledgement writes.
    binding::Settings settings() const;
    // "Please select module address!" when no module is chosen below the grid.
    void startSequence(SequenceKind kind);

    FamilyContext& m_ctx;
    SequenceEngine& m_sequences;

    QSpinBox* m_input = nullptr;         // SpinEdit15
    QSpinBox* m_inputChannel = nullptr;  // SpinEdit17
    QComboBox* m_mode = nullptr;         // ComboBox15
    QSpinBox* m_delay = nullptr;         // SpinEdit19
    QSpinBox* m_target = nullptr;        // SpinEdit18
    QSpinBox* m_targetChannel = nullptr; // SpinEdit16
    QComboBox* m_action = nullptr;       // ComboBox16
    QSpinBox* m_parameter = nullptr;     // SpinEdit20
    QSpinBox* m_inputModule = nullptr;   // SpinEdit37
};
