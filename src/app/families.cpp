// Creation of the command families and the start-up steps that fill their fields.
#include "app/families.h"

#include "app/link_panel.h"
#include "app/main_window.h"
#include "commands/bus_switch_family.h"
#include "commands/curtain_family.h"
#include "commands/event_family.h"
#include "commands/input_binding_family.h"
#include "commands/ir_family.h"
#include "commands/light_family.h"
#include "commands/module_admin_family.h"
#include "commands/monitor_binding_family.h"
#include "commands/scene_family.h"
#include "commands/timer_family.h"
#include "link/bus.h"
#include "protocol/refusal_line.h"
#include "protocol/sequence_engine.h"

#include <QDateTime>
#include <QWidget>

#include <memory>
#include <utility>

Families::Families(FamilyContext& ctx, Bus& bus) {
    // One line each, in tab order: a family may look up controls of one created before it.
    sequences = std::make_unique<SequenceEngine>(bus);
    // A sequence that did not finish says how far it came and which rows keep their old
    // values; an error reply (one masked line among many in the log) says who refused what.
    // A refusal that ends a sequence is heard of before its reply: the two go on one line.
    QObject::connect(sequences.get(), &SequenceEngine::message, &bus,
                     [&bus](const QString& text) { emit bus.message(text); });
    auto refusedEnd = std::make_shared<QString>();
    QObject::connect(sequences.get(), &SequenceEngine::ended, &bus,
                     [&bus, refusedEnd](const SequenceResult& r) {
                         if (r.end == SequenceEnd::Finished)
                             emit bus.message(QStringLiteral("Finished！"));
                         else if (r.end == SequenceEnd::Refused)
                             *refusedEnd = r.endLine();
                         else
                             emit bus.requestNotice(r.endLine());
                     });
    QObject::connect(&bus, &Bus::replyAccepted, &bus, [&bus, refusedEnd](const Reply& r) {
        const int module = r.busSwitchReply ? 0xFF : r[3];
        if (const QString line = refusalLine(r, bus.moduleTypes().typeOf(module)); !line.isEmpty())
            emit bus.requestNotice(
                (line + QLatin1Char(' ') + std::exchange(*refusedEnd, {}))
                    .trimmed());
    });
    moduleAdmin = std::make_unique<ModuleAdminFamily>(ctx);
    busSwitch = std::make_unique<BusSwitchFamily>(ctx);
    scenes = std::make_unique<SceneFamily>(ctx);
    lights = std::make_unique<LightFamily>(ctx);
    curtains = std::make_unique<CurtainFamily>(ctx);
    ir = std::make_unique<IrFamily>(ctx);
    inputBindings = std::make_unique<InputBindingFamily>(ctx, *sequences);
    timers = std::make_unique<TimerFamily>(ctx, *sequences);
    events = std::make_unique<EventFamily>(ctx, *sequences);
    monitorBindings = std::make_unique<MonitorBindingFamily>(ctx, *sequences);
}

Families::~Families() = default;

void TForm1::createFamilies() {
    m_families = std::make_unique<Families>(*m_context, *m_bus);
}

void TForm1::startUpFields() {
    // 2-4. Date pickers, weekday names and masked times of the timer tab.
    m_families->timers->initialiseClockFields(QDateTime::currentDateTime());
    // 5. "Local IP".
    m_linkPanel->fillLocalIp();
    // 6. With the masked log on, the relay-delay controls stay hidden.
    if (m_linkPanel->maskedLog()) {
        for (const char* name : {"Label85", "Label84", "SpinEdit29", "Button41"})
            if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
                w->hide();
    }
}
