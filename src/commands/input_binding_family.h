#pragma once

#include "commands/family_context.h"

#include <QObject>

class QSpinBox;

// The "Input Module Settings" tab: what each input channel of an input module triggers, and
// those bindings in "Bind Records", filtered by input module.
class InputBindingFamily : public QObject {
    Q_OBJECT
public:
    explicit InputBindingFamily(FamilyContext& ctx);

    void SpinEdit37Change(); // input module filter

private:
    FamilyContext& m_ctx;
    QSpinBox* m_inputModule = nullptr; // SpinEdit37
};
