#pragma once

#include "commands/family_context.h"
#include "protocol/light_requests.h"

#include <QObject>

class QCheckBox;
class QSpinBox;
struct Reply;

// The "Light Control" tab: single-channel and all-module switching, the on-state duration,
// the hidden relay delay, and the status read that serves the light and curtain tabs.
class LightFamily : public QObject {
    Q_OBJECT
public:
    explicit LightFamily(FamilyContext& ctx);

    void Button2Click();  // "On"
    void Button3Click();  // "Off"
    void Button4Click();  // "Toggle"
    void Button5Click();  // "All On"
    void Button6Click();  // "All Off"
    void Button30Click(); // on-state duration "Set"
    void Button41Click(); // relay delay "设置"
    void Button11Click(); // "Read"

    // 0x80/0x08: the state bytes go to the boxes of whichever tab is shown now.
    void statusReply(const Reply& reply);

private:
    void buildControlGroup(QWidget* page);
    void buildStatusGroup(QWidget* page);
    int module() const;
    int channel() const;
    QCheckBox* statusBox(const QString& pageName, int number) const;

    FamilyContext& m_ctx;
    QSpinBox* m_module = nullptr;
    QSpinBox* m_channel = nullptr;
    QSpinBox* m_duration = nullptr;
    QSpinBox* m_relayDelay = nullptr;
};
