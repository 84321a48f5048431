#include "commands/curtain_family.h"

#include "link/bus.h"
#include "widgets/form_builder.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>

CurtainFamily::CurtainFamily(FamilyContext& ctx) : m_ctx(ctx) {
    QWidget* page = ctx.page(QStringLiteral("TabSheet4"));
    buildControlGroup(page);
    buildStatusGroup(page);
}

void CurtainFamily::buildControlGroup(QWidget* page) {
    auto* box = form::group(page, QStringLiteral("GroupBox6"), QStringLiteral("Curtain Control"));
    m_module = form::spin(box, QStringLiteral("SpinEdit9"), 1, 32, 1);
    m_channel = form::spin(box, QStringLiteral("SpinEdit10"), 1, 4, 1);
    m_travelTime = form::spin(box, QStringLiteral("SpinEdit8"), 0, 601, 200);

    auto* grid = new QGridLayout(box);
    form::row(grid, 0, 0, QStringLiteral("CurtainModuleLabel"), QStringLiteral("Module Addr. :"),
              m_module);
    form::row(grid, 1, 0, QStringLiteral("CurtainChannelLabel"), QStringLiteral("Channel No. :"),
              m_channel);
    form::row(grid, 3, 0, QStringLiteral("CurtainTimeLabel"),
              QStringLiteral("Opening/Closing Time :"), m_travelTime);
    grid->addWidget(
        form::label(box, QStringLiteral("CurtainTimeUnit"), QStringLiteral("x 0.1S (0~60.0S)")), 3,
        2);

    form::buttons(box, grid, this,
                  {
                      {"Button14", "Open", [this] { Button14Click(); }, 0, 2},
                      {"Button15", "Close", [this] { Button15Click(); }, 1, 2},
                      {"Button16", "Stop", [this] { Button16Click(); }, 2, 2},
                      {"Button18", "All Open", [this] { Button18Click(); }, 0, 3},
                      {"Button20", "All Close", [this] { Button20Click(); }, 1, 3},
                      {"Button17", "All Stop", [this] { Button17Click(); }, 2, 3},
                      {"Button21", "Set", [this] { Button21Click(); }, 3, 3},
                  });
    page->layout()->addWidget(box);
    page->layout()->setAlignment(box, Qt::AlignLeft | Qt::AlignTop);
}

void CurtainFamily::buildStatusGroup(QWidget* page) {
    auto* box = form::group(page, QStringLiteral("GroupBox7"), QStringLiteral("Curtain Status"));
    auto* grid = new QGridLayout(box);
    // Outputs of the status read only: ticking one by hand changes nothing on the bus.
    for (int i = 0; i < 4; ++i)
        grid->addWidget(form::check(box, QStringLiteral("CheckBox%1").arg(9 + i),
                                    QStringLiteral("Curtain%1").arg(i + 1)),
                        i, 0);
    auto* read = form::button(box, QStringLiteral("Button19"), QStringLiteral("Read"));
    grid->addWidget(read, 4, 0);
    connect(read, &QPushButton::clicked, this, &CurtainFamily::Button19Click);
    page->layout()->addWidget(box);
    page->layout()->setAlignment(box, Qt::AlignLeft | Qt::AlignTop);
}

int CurtainFamily::module() const {
    return form::value(m_module);
}
int CurtainFamily::channel() const {
    return form::value(m_channel);
}

void CurtainFamily::Button14Click() {
    m_ctx.bus.send(curtain::open(module(), channel()));
}
void CurtainFamily::Button15Click() {
    m_ctx.bus.send(curtain::close(module(), channel()));
}
void CurtainFamily::Button16Click() {
    m_ctx.bus.send(curtain::stop(module(), channel()));
}
void CurtainFamily::Button18Click() {
    m_ctx.bus.send(curtain::allOpen());
}
void CurtainFamily::Button20Click() {
    m_ctx.bus.send(curtain::allClose());
}
void CurtainFamily::Button17Click() {
    m_ctx.bus.send(curtain::allStop());
}

void CurtainFamily::Button21Click() {
    m_ctx.bus.send(curtain::travelTime(module(), channel(), form::value(m_travelTime)));
}

void CurtainFamily::Button19Click() {
    m_ctx.bus.send(curtain::readStatus(module()));
}

#include "moc_curtain_family.cpp"
