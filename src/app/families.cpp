// Creation of the command families and the start-up steps that fill their fields.
#include "app/link_panel.h"
#include "app/main_window.h"
#include "link/bus.h"

#include <QDateTime>
#include <QWidget>

#if __has_include("commands/module_admin_family.h")
#include "commands/module_admin_family.h"
#define VELM_HAVE_ADMIN 1
#endif
#if __has_include("commands/light_family.h")
#include "commands/light_family.h"
#define VELM_HAVE_LIGHT 1
#endif
#if __has_include("commands/curtain_family.h")
#include "commands/curtain_family.h"
#define VELM_HAVE_CURTAIN 1
#endif
#if __has_include("commands/timer_family.h") && __has_include("commands/event_family.h") && __has_include("commands/sequencer.h")
#include "commands/sequencer.h"
#include "commands/timer_family.h"
#include "commands/event_family.h"
#define VELM_HAVE_TIMERS 1
#endif
#if __has_include("commands/record_grid.h")
#include "app/record_pages.h"
#define VELM_HAVE_RECORD_PAGES 1
#endif

template <class T, class... Args> static std::shared_ptr<T> keep(std::vector<std::shared_ptr<void>>& v, Args&&... args)
{
    auto p = std::make_shared<T>(std::forward<Args>(args)...);
    v.push_back(p);
    return p;
}

void TForm1::createFamilies()
{
    FamilyContext& ctx = *m_context;
    (void)ctx;
#ifdef VELM_HAVE_ADMIN
    keep<ModuleAdminFamily>(m_families, ctx);
#endif
#ifdef VELM_HAVE_LIGHT
    keep<LightFamily>(m_families, ctx);
#endif
#ifdef VELM_HAVE_CURTAIN
    keep<CurtainFamily>(m_families, ctx);
#endif
#ifdef VELM_HAVE_TIMERS
    auto sequencer = keep<Sequencer>(m_families, m_bus.get());
    m_timers = keep<TimerFamily>(m_families, ctx, *sequencer);
    keep<EventFamily>(m_families, ctx, *sequencer);
#endif
#ifdef VELM_HAVE_RECORD_PAGES
    keep<RecordPages>(m_families, ctx);
#endif
}

void TForm1::startUpFields()
{
    // 2-4. Date pickers, weekday names and masked times of the timer tab.
#ifdef VELM_HAVE_TIMERS
    std::static_pointer_cast<TimerFamily>(m_timers)->initialiseClockFields(
        QDateTime::currentDateTime());
#endif
    // 5. "Local IP".
    m_linkPanel->fillLocalIp();
    // 6. With the masked log on, the relay-delay controls stay hidden.
    if (m_linkPanel->maskedLog()) {
        for (const char* name : {"Label85", "Label84", "SpinEdit29", "Button41"})
            if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
                w->hide();
    }
}
