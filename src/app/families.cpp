// Creation of the command families and the start-up steps that fill their fields.
#include "app/link_panel.h"
#include "app/main_window.h"
#include "app/record_pages.h"
#include "commands/bus_switch_family.h"
#include "commands/curtain_family.h"
#include "commands/event_family.h"
#include "commands/light_family.h"
#include "commands/module_admin_family.h"
#include "commands/sequencer.h"
#include "commands/timer_family.h"
#include "link/bus.h"

#include <QDateTime>
#include <QWidget>

namespace {
template <class T, class... Args>
std::shared_ptr<T> keep(std::vector<std::shared_ptr<void>>& owned, Args&&... args) {
    auto family = std::make_shared<T>(std::forward<Args>(args)...);
    owned.push_back(family);
    return family;
}
} // namespace

void TForm1::createFamilies() {
    FamilyContext& ctx = *m_context;
    keep<ModuleAdminFamily>(m_families, ctx);
    keep<BusSwitchFamily>(m_families, ctx);
    keep<LightFamily>(m_families, ctx);
    keep<CurtainFamily>(m_families, ctx);
    auto sequencer = keep<Sequencer>(m_families, m_bus.get());
    m_timers = keep<TimerFamily>(m_families, ctx, *sequencer);
    keep<EventFamily>(m_families, ctx, *sequencer);
    keep<RecordPages>(m_families, ctx);
}

void TForm1::startUpFields() {
    // 2-4. Date pickers, weekday names and masked times of the timer tab.
    m_timers->initialiseClockFields(QDateTime::currentDateTime());
    // 5. "Local IP".
    m_linkPanel->fillLocalIp();
    // 6. With the masked log on, the relay-delay controls stay hidden.
    if (m_linkPanel->maskedLog()) {
        for (const char* name : {"Label85", "Label84", "SpinEdit29", "Button41"})
            if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
                w->hide();
    }
}
