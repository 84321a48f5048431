#include "jobs/module_identify.h"

#include "link/frames.h"
#include "protocol/light_requests.h"
#include "protocol/module_admin_requests.h"
#include "protocol/module_kinds.h"

ModuleIdentify::ModuleIdentify(Bus& bus, int module, int waitMs, QObject* parent)
    : QObject(parent), m_job(bus, QStringLiteral("Identify Module")), m_module(module),
      m_waitMs(waitMs) {
    JobStep test;
    test.request = moduleadmin::test(module);
    test.what = QStringLiteral("test request");
    test.waitMs = waitMs;
    test.take = [this](const ExchangeAnswer& a) {
        if (!a.answered) {
            m_job.stop(QStringLiteral("module %1 did not answer the test request").arg(m_module));
            return false;
        }
        m_done << (a.ok() ? QStringLiteral("test request answered")
                          : QStringLiteral("test request refused: %1")
                                .arg(frames::statusText(a.status)));
        return true;
    };
    m_job.add(test);
    JobStep type;
    type.request = moduleadmin::readType(module);
    type.what = QStringLiteral("type");
    type.waitMs = waitMs;
    type.take = [this](const ExchangeAnswer& a) {
        if (!a.ok() || modulekind::ofType(moduleadmin::typeText(a.reply())) !=
                           modulekind::Kind::Light)
            return true;
        JobStep status;
        status.request = light::readStatus(m_module);
        status.what = QStringLiteral("channel states");
        status.waitMs = m_waitMs;
        status.take = [this](const ExchangeAnswer& s) {
            const QList<bool> states = s.ok() ? light::channelStates(s.reply()) : QList<bool>();
            if (states.isEmpty())
                m_done << QStringLiteral("channel 1 left alone: its state could not be read");
            else
                blink(states.first());
            return true;
        };
        m_job.addNext(status);
        return true;
    };
    m_job.add(type);
}

void ModuleIdentify::blink(bool wasOn) {
    // Over and back, twice, ending as it was.
    for (int i = 0; i < 4; ++i) {
        const bool on = (i % 2 == 0) != wasOn;
        JobStep step;
        step.request = on ? light::on(m_module, 1) : light::off(m_module, 1);
        step.what = QStringLiteral("channel 1 %1").arg(on ? QStringLiteral("on") : QStringLiteral("off"));
        step.waitMs = m_waitMs;
        step.pauseMs = kBlinkPauseMs;
        m_job.add(step);
    }
    m_done << QStringLiteral("channel 1 switched over twice and back %1")
                  .arg(wasOn ? QStringLiteral("on") : QStringLiteral("off"));
}

QString ModuleIdentify::summary() const {
    QString text = QStringLiteral("Module %1: %2.")
                       .arg(m_module)
                       .arg(m_done.isEmpty() ? QStringLiteral("nothing answered")
                                             : m_done.join(QStringLiteral("; ")));
    if (!m_job.failure().isEmpty())
        text += QStringLiteral(" Stopped: %1.").arg(m_job.failure());
    return text;
}

#include "moc_module_identify.cpp"
