#include "commands/bind_test_group.h"

#include "link/bus.h"
#include "widgets/form_builder.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>

BindTestGroup::BindTestGroup(FamilyContext& ctx, std::function<void()> slotLookup)
    : m_ctx(ctx), m_slotLookup(std::move(slotLookup)) {
    auto* group = ctx.pageGroup(QStringLiteral("TabSheet8"), QStringLiteral("GroupBox15"),
                                QStringLiteral("Binding Function Test"));
    m_room = form::spin(group, QStringLiteral("SpinEdit39"), 1, 20, 1);
    m_device = form::spin(group, QStringLiteral("SpinEdit40"), 1, 16, 1);
    auto* grid = new QGridLayout(group);
    form::row(grid, 0, 0, QStringLiteral("Label91"), QStringLiteral("Room No. :"), m_room);
    form::row(grid, 1, 0, QStringLiteral("Label92"), QStringLiteral("Device No. :"), m_device);
    grid->addWidget(buildLightGroup(group), 2, 0, 1, 2);
    grid->addWidget(buildCurtainGroup(group), 3, 0, 1, 2);
    grid->addWidget(buildAcGroup(group), 4, 0, 1, 2);
    grid->addWidget(buildSceneGroup(group), 5, 0, 1, 2);
    grid->setRowStretch(6, 1);

    for (QSpinBox* spin : {m_room, m_device, m_scene})
        connect(spin, &QSpinBox::valueChanged, this, [this] { m_slotLookup(); });
    ctx.bus.registerBindReply(this, [this](const Reply& r) { bindReply(r); });
}

QWidget* BindTestGroup::buildLightGroup(QWidget* parent) {
    auto* box =
        form::group(parent, QStringLiteral("BindLightGroup"), QStringLiteral("Light Control"));
    auto* grid = new QGridLayout(box);
    form::buttons(box, grid, this,
                  {
                      {"Button51", "On", [this] { Button51Click(); }, 0, 0},
                      {"Button53", "Off", [this] { Button53Click(); }, 0, 1},
                      {"Button56", "Read Status", [this] { Button56Click(); }, 0, 2},
                  });
    // Outputs of the status read only.
    m_lightOn = form::check(box, QStringLiteral("CheckBox14"), QStringLiteral("On"));
    m_lightOff = form::check(box, QStringLiteral("CheckBox15"), QStringLiteral("Off"));
    grid->addWidget(m_lightOn, 1, 0);
    grid->addWidget(m_lightOff, 1, 1);
    return box;
}

QWidget* BindTestGroup::buildCurtainGroup(QWidget* parent) {
    auto* box =
        form::group(parent, QStringLiteral("BindCurtainGroup"), QStringLiteral("Curtain Control"));
    auto* grid = new QGridLayout(box);
    form::buttons(box, grid, this,
                  {
                      {"Button57", "Open", [this] { Button57Click(); }, 0, 0},
                      {"Button58", "Close", [this] { Button58Click(); }, 0, 1},
                      {"Button60", "Stop", [this] { Button60Click(); }, 0, 2},
                      {"Button59", "Read Status", [this] { Button59Click(); }, 0, 3},
                  });
    m_curtainOpen = form::check(box, QStringLiteral("CheckBox16"), QStringLiteral("Open"));
    m_curtainClose = form::check(box, QStringLiteral("CheckBox17"), QStringLiteral("Close"));
    grid->addWidget(m_curtainOpen, 1, 0);
    grid->addWidget(m_curtainClose, 1, 1);
    return box;
}

QWidget* BindTestGroup::buildAcGroup(QWidget* parent) {
    auto* box =
        form::group(parent, QStringLiteral("BindAcGroup"), QStringLiteral("Air Conditioner"));
    auto* grid = new QGridLayout(box);
    const char* const captions[4] = {"Cold", "Strong Cold", "Wind", "Power Off"};
    // The four share the group, so one of them is always checked.
    for (int i = 0; i < 4; ++i) {
        m_modes[i] = form::radio(box, QStringLiteral("RadioButton%1").arg(3 + i),
                                 QString::fromLatin1(captions[i]), i == 0);
        grid->addWidget(m_modes[i], i / 2, i % 2);
    }
    form::buttons(box, grid, this, {{"Button55", "Control", [this] { Button55Click(); }, 0, 2}});
    return box;
}

QWidget* BindTestGroup::buildSceneGroup(QWidget* parent) {
    auto* box =
        form::group(parent, QStringLiteral("BindSceneGroup"), QStringLiteral("Scene Control"));
    auto* grid = new QGridLayout(box);
    m_scene = form::spin(box, QStringLiteral("SpinEdit43"), 0, 16, 0);
    form::row(grid, 0, 0, QStringLiteral("Label93"), QStringLiteral("Scene No. :"), m_scene);
    form::buttons(box, grid, this, {{"Button61", "Control", [this] { Button61Click(); }, 0, 2}});
    return box;
}

int BindTestGroup::room() const {
    return form::value(m_room);
}

int BindTestGroup::device() const {
    return form::value(m_device);
}

bindtest::AcMode BindTestGroup::acMode() const {
    for (int i = 0; i < 4; ++i)
        if (m_modes[i]->isChecked())
            return bindtest::AcMode(i);
    return bindtest::AcMode::Cold;
}

void BindTestGroup::send(const QByteArray& payload) {
    m_ctx.bus.sendBind(payload);
}

void BindTestGroup::Button51Click() {
    send(bindtest::light(room(), device(), true));
}

void BindTestGroup::Button53Click() {
    send(bindtest::light(room(), device(), false));
}

void BindTestGroup::Button56Click() {
    send(bindtest::lightStatus(room(), device()));
}

void BindTestGroup::Button57Click() {
    send(bindtest::curtain(room(), device(), bindtest::CurtainMove::Open));
}

void BindTestGroup::Button58Click() {
    send(bindtest::curtain(room(), device(), bindtest::CurtainMove::Close));
}

void BindTestGroup::Button60Click() {
    send(bindtest::curtain(room(), device(), bindtest::CurtainMove::Stop));
}

void BindTestGroup::Button59Click() {
    send(bindtest::curtainStatus(room(), device()));
}

void BindTestGroup::Button55Click() {
    send(bindtest::airConditioner(room(), device(), acMode()));
}

void BindTestGroup::Button61Click() {
    send(bindtest::scene(form::value(m_scene)));
}

void BindTestGroup::bindReply(const Reply& r) {
    const bindtest::StatusReport report = bindtest::statusReport(r[3], r[7]);
    switch (report.kind) {
    case bindtest::StatusReport::Light:
        m_lightOn->setChecked(report.on);
        m_lightOff->setChecked(!report.on);
        break;
    case bindtest::StatusReport::Curtain:
        m_curtainOpen->setChecked(report.on);
        m_curtainClose->setChecked(!report.on);
        break;
    case bindtest::StatusReport::None:
        break;
    }
}

#include "moc_bind_test_group.cpp"
