#pragma once

#include "commands/family_context.h"

#include <QObject>

// The "Scene Settings" tab: the scenes stored in the modules and their "Scene Records".
class SceneFamily : public QObject {
    Q_OBJECT
public:
    explicit SceneFamily(FamilyContext& ctx);

private:
    FamilyContext& m_ctx;
};
