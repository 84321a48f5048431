#pragma once

#include "commands/family_context.h"

#include <QObject>

// The "IR Control" tab: learning, sending and deleting the IR codes of an IR module, and
// the learned codes in "IR Records".
class IrFamily : public QObject {
    Q_OBJECT
public:
    explicit IrFamily(FamilyContext& ctx);

private:
    FamilyContext& m_ctx;
};
