#include "app/identify_dialog.h"

#include "jobs/module_identify.h"
#include "widgets/form_builder.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

IdentifyDialog::IdentifyDialog(Bus& bus, PromptService& prompts, QWidget* parent)
    : JobDialog(QStringLiteral("Identify"), QStringLiteral("Identify Module"), prompts, parent),
      m_bus(bus) {
    QWidget* box = settings()->parentWidget();
    m_module = form::spin(box, QStringLiteral("IdentifyModule"), 1, 32, 1);
    form::row(settings(), 0, 0, QStringLiteral("IdentifyModuleLabel"),
              QStringLiteral("Module Addr. :"), m_module);
    setColumns({QStringLiteral("Done")});
    resize(520, 320);
}

IdentifyDialog::~IdentifyDialog() = default;

void IdentifyDialog::identify(int address) {
    m_module->setValue(address);
    if (!running())
        if (auto* start = findChild<QPushButton*>(prefix() + QStringLiteral("Start")))
            start->click();
}

BusJob* IdentifyDialog::createJob() {
    table()->setRowCount(0);
    m_identify = std::make_unique<ModuleIdentify>(m_bus, m_module->value(), m_bus.replyWait());
    summary()->setText(QStringLiteral("Identifying module %1…").arg(m_module->value()));
    return &m_identify->job();
}

void IdentifyDialog::jobEnded() {
    for (const QString& line : m_identify->done()) {
        const int row = table()->rowCount();
        table()->insertRow(row);
        table()->setItem(row, 0, new QTableWidgetItem(line));
    }
    summary()->setText(m_identify->summary());
}

#include "moc_identify_dialog.cpp"
