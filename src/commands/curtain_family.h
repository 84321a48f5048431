#pragma once

#include "commands/family_context.h"
#include "protocol/curtain_requests.h"

#include <QObject>

class QSpinBox;

// The "Curtain Control" tab. Its status reply is handled with the light tab's: the tab
// shown when the reply comes decides which boxes change.
class CurtainFamily : public QObject {
    Q_OBJECT
public:
    explicit CurtainFamily(FamilyContext& ctx);

    void Button14Click(); // "Open"
    void Button15Click(); // "Close"
    void Button16Click(); // "Stop"
    void Button18Click(); // "All Open"
    void Button20Click(); // "All Close"
    void Button17Click(); // "All Stop"
    void Button21Click(); // travel time "Set"
    void Button19Click(); // "Read"

private:
    void buildControlGroup(QWidget* page);
    void buildStatusGroup(QWidget* page);
    int module() const;
    int channel() const;

    FamilyContext& m_ctx;
    QSpinBox* m_module = nullptr;
    QSpinBox* m_channel = nullptr;
    QSpinBox* m_travelTime = nullptr;
};
