#include "commands/light_family.h"

#include "link/bus.h"
#include "widgets/form_builder.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace {
constexpr int kLightBoxes = 8;
constexpr int kCurtainBoxes = 4;
constexpr int kFirstCurtainBox = 9;
} // namespace

LightFamily::LightFamily(FamilyContext& ctx) : m_ctx(ctx) {
    QWidget* page = ctx.page(QStringLiteral("TabSheet3"));
    buildControlGroup(page);
    buildStatusGroup(page);
    ctx.bus.registerReply(this, 0x80, 0x08, [this](const Reply& r) { statusReply(r); });
}

void LightFamily::buildControlGroup(QWidget* page) {
    auto* box = form::group(page, QStringLiteral("GroupBox3"), QStringLiteral("Light Control"));
    m_module = form::spin(box, QStringLiteral("SpinEdit2"), 1, 32, 1);
    m_channel = form::spin(box, QStringLiteral("SpinEdit3"), 1, 8, 1);
    m_duration = form::spin(box, QStringLiteral("SpinEdit11"), 0, 65001, 0);
    m_relayDelay = form::spin(box, QStringLiteral("SpinEdit29"), 0, 20000, 0);

    auto* grid = new QGridLayout(box);
    form::row(grid, 0, 0, QStringLiteral("LightModuleLabel"), QStringLiteral("Module Addr. :"),
              m_module);
    form::row(grid, 1, 0, QStringLiteral("LightChannelLabel"), QStringLiteral("Channel No. :"),
              m_channel);
    form::row(grid, 3, 0, QStringLiteral("LightDurationLabel"),
              QStringLiteral("On-State Duration :"), m_duration);
    grid->addWidget(
        form::label(box, QStringLiteral("LightDurationUnit"), QStringLiteral("S (0~65000S)")), 3,
        2);
    form::row(grid, 4, 0, QStringLiteral("Label85"), QStringLiteral("继电器延时 :"), m_relayDelay);
    grid->addWidget(form::label(box, QStringLiteral("Label84"), QStringLiteral("uS (0~20000uS)")),
                    4, 2);

    form::buttons(box, grid, this,
                  {
                      {"Button2", "On", [this] { Button2Click(); }, 0, 2},
                      {"Button3", "Off", [this] { Button3Click(); }, 1, 2},
                      {"Button4", "Toggle", [this] { Button4Click(); }, 2, 2},
                      {"Button5", "All On", [this] { Button5Click(); }, 0, 3},
                      {"Button6", "All Off", [this] { Button6Click(); }, 1, 3},
                      {"Button30", "Set", [this] { Button30Click(); }, 3, 3},
                      {"Button41", "设置", [this] { Button41Click(); }, 4, 3},
                  });
    // Both go to module 0xFF: "Module Addr." on screen does not limit them.
    const QString wholeSubnet = QStringLiteral("Switches every light module of the subnet %1, "
                                               "whatever \"Module Addr.\" says");
    box->findChild<QPushButton*>(QStringLiteral("Button5"))
        ->setToolTip(wholeSubnet.arg(QStringLiteral("on")));
    box->findChild<QPushButton*>(QStringLiteral("Button6"))
        ->setToolTip(wholeSubnet.arg(QStringLiteral("off")));
    page->layout()->addWidget(box);
    page->layout()->setAlignment(box, Qt::AlignLeft | Qt::AlignTop);
}

void LightFamily::buildStatusGroup(QWidget* page) {
    auto* box = form::group(page, QStringLiteral("GroupBox1"), QStringLiteral("Light Status"));
    auto* grid = new QGridLayout(box);
    // Outputs of the status read only: ticking one by hand changes nothing on the bus.
    for (int i = 0; i < kLightBoxes; ++i)
        grid->addWidget(form::check(box, QStringLiteral("CheckBox%1").arg(i + 1),
                                    QStringLiteral("Light%1").arg(i + 1)),
                        i % 4, i / 4);
    auto* read = form::button(box, QStringLiteral("Button11"), QStringLiteral("Read"));
    grid->addWidget(read, 4, 0, 1, 2);
    connect(read, &QPushButton::clicked, this, &LightFamily::Button11Click);
    page->layout()->addWidget(box);
    page->layout()->setAlignment(box, Qt::AlignLeft | Qt::AlignTop);
}

int LightFamily::module() const {
    return form::value(m_module);
}
int LightFamily::channel() const {
    return form::value(m_channel);
}

void LightFamily::Button2Click() {
    m_ctx.bus.send(light::on(module(), channel()));
}
void LightFamily::Button3Click() {
    m_ctx.bus.send(light::off(module(), channel()));
}
void LightFamily::Button4Click() {
    m_ctx.bus.send(light::toggle(module(), channel()));
}
void LightFamily::Button5Click() {
    m_ctx.bus.send(light::allOn());
}
void LightFamily::Button6Click() {
    m_ctx.bus.send(light::allOff());
}

void LightFamily::Button30Click() {
    m_ctx.bus.send(light::onDuration(module(), channel(), form::value(m_duration)));
}

void LightFamily::Button41Click() {
    m_ctx.bus.send(light::relayDelay(form::value(m_relayDelay)));
}

void LightFamily::Button11Click() {
    m_ctx.bus.send(light::readStatus(module()));
}

QCheckBox* LightFamily::statusBox(const QString& pageName, int number) const {
    QWidget* page = m_ctx.page(pageName);
    return page ? page->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(number)) : nullptr;
}

void LightFamily::statusReply(const Reply& reply) {
    const QList<bool> states = light::channelStates(reply);
    // The reply carries no hint of who asked: the tab shown decides, looked at for every
    // box, because setting a box can run code that changes the page.
    for (int i = 0; i < states.size(); ++i) {
        const QWidget* current = m_ctx.pages->currentWidget();
        const QString pageName = current ? current->objectName() : QString();
        QCheckBox* box = nullptr;
        if (pageName == QLatin1String("TabSheet3") && i < kLightBoxes)
            box = statusBox(pageName, i + 1);
        else if (pageName == QLatin1String("TabSheet4") && i < kCurtainBoxes)
            box = statusBox(pageName, kFirstCurtainBox + i);
        if (box)
            box->setChecked(states[i]);
    }
}

#include "moc_light_family.cpp"
