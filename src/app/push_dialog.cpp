#include "app/push_dialog.h"

#include "app/audit_rows.h"
#include "jobs/module_audit.h"
#include "jobs/module_push.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

PushDialog::PushDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                       QWidget* parent)
    : ModuleJobDialog(QStringLiteral("Push"), QStringLiteral("Push Records"), bus, prompts,
                      databaseFile, parent) {
    m_channels = form::spin(settings()->parentWidget(), QStringLiteral("PushChannels"), 1, 8, 8);
    form::row(settings(), 0, 2, QStringLiteral("PushChannelsLabel"),
              QStringLiteral("Module Channels :"), m_channels);
}

PushDialog::~PushDialog() = default;

BusJob* PushDialog::createJob() {
    forgetAudit();
    std::optional<ModuleRecords> records = loadRecords();
    if (!records)
        return nullptr;
    m_records = std::move(*records);
    m_push = std::make_unique<ModulePush>(
        bus(), m_records, ModulePush::Options{m_channels->value(), bus().replyWait()});
    if (m_push->writeCount() == 0) {
        prompts().message(QStringLiteral("The records hold nothing to write into module %1.")
                              .arg(m_records.module));
        return nullptr;
    }
    if (!prompts().confirm(QStringLiteral("Are you sure?")))
        return nullptr;
    connect(m_push.get(), &ModulePush::written, this, [this](const QString& what) {
        auditrows::add(table(), what, QStringLiteral("written"), QString(), true);
    });
    summary()->setText(QStringLiteral("Writing %1 record(s) into module %2…")
                           .arg(m_push->writeCount())
                           .arg(m_records.module));
    return &m_push->job();
}

void PushDialog::jobEnded() {
    if (audit()) {
        QStringList lines{m_pushSummary, audit()->report().summary()};
        lines << m_push->report().notes;
        summary()->setText(lines.join(QLatin1Char('\n')));
        return;
    }
    const PushReport& r = m_push->report();
    m_pushSummary = r.summary();
    emit pushEnded(r.module, r.complete(), m_pushSummary);
    if (!r.complete()) {
        for (const QString& what : r.notWritten)
            auditrows::add(table(), what, QStringLiteral("not written"), QString(), false);
        summary()->setText((QStringList{m_pushSummary} + r.notes).join(QLatin1Char('\n')));
        return;
    }
    // Everything went out: read it back, against the records that were written.
    table()->setRowCount(0);
    summary()->setText(m_pushSummary + QStringLiteral("\nReading it back…"));
    runJob(startAudit(m_records));
}

#include "moc_push_dialog.cpp"
