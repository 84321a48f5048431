#pragma once

#include "commands/family_context.h"
#include "link/request_layout.h"

#include <QObject>

class QSpinBox;

// Requests of the curtain modules (command 1), numbered in the short layout. Channels are
// given 1-based and go out minus one.
namespace curtain {

Request open(int module, int channel);
Request close(int module, int channel);
Request stop(int module, int channel);
// Every channel of every module: address and channel are both 0xFF.
Request allOpen();
Request allClose();
Request allStop();
// Travel time in tenths of a second; the module takes milliseconds (16 bits).
Request travelTime(int module, int channel, int tenths);
// The same status read as the light tab's.
Request readStatus(int module);

} // namespace curtain

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
