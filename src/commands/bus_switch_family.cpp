#include "commands/bus_switch_family.h"

#include "link/bus.h"
#include "protocol/bus_switch_requests.h"
#include "widgets/form_builder.h"
#include "widgets/key_filter.h"
#include "widgets/prompt_service.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>

namespace {

// Designer names of the settings edits, row by row in block order.
const char* const kFieldNames[busswitch::kSettingsFields] = {
    "Edit9",  "edt5",   "Edit15", "Edit17",                     // IP
    "Edit11",                                                   // port
    "Edit21", "Edit22", "Edit23", "Edit24",                     // mask
    "Edit25", "Edit26", "Edit27", "Edit28",                     // gateway
    "Edit29", "Edit30", "Edit31", "Edit32",                     // server IP
    "edt3",                                                     // server port
    "Edit7",  "Edit8",  "Edit33", "Edit34", "Edit35", "Edit36", // MAC
};

// Names of the row captions and of the "." / "-" labels between the edits.
const char* const kRowNames[] = {"BusSwitchIpLabel",     "BusSwitchPortLabel",
                                 "BusSwitchMaskLabel",   "BusSwitchGatewayLabel",
                                 "BusSwitchServerLabel", "BusSwitchServerPortLabel",
                                 "BusSwitchMacLabel"};

struct KindLook {
    int maxLength;
    KeyFilter::Kind filter;
    const char* separator;
};

KindLook lookOf(busswitch::FieldKind kind) {
    switch (kind) {
    case busswitch::FieldKind::Octet:
        return {3, KeyFilter::Edit9KeyPress, "."};
    case busswitch::FieldKind::Port:
        return {5, KeyFilter::Edit6KeyPress, ""};
    case busswitch::FieldKind::MacByte:
        return {2, KeyFilter::Edit7KeyPress, "-"};
    }
    return {3, KeyFilter::Edit9KeyPress, "."};
}

QLineEdit* settingsEdit(QWidget* box, const QString& name, busswitch::FieldKind kind) {
    const KindLook look = lookOf(kind);
    auto* e = form::edit(box, name, look.maxLength);
    KeyFilter::install(e, look.filter);
    const int digit = e->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    e->setFixedWidth(digit * (look.maxLength + 1) + 12);
    if (kind == busswitch::FieldKind::Port) {
        // The port edits have the colour of a button face.
        QPalette palette = e->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        e->setPalette(palette);
    }
    return e;
}

} // namespace

BusSwitchFamily::BusSwitchFamily(FamilyContext& ctx) : m_ctx(ctx) {
    QWidget* page = ctx.page(QStringLiteral("TabSheet1"));
    auto* box =
        form::group(page, QStringLiteral("GroupBox5"), QStringLiteral("Bus Switch Settings"));
    auto* grid = new QGridLayout(box);
    buildSettingsRows(box, grid);
    buildButtons(box, grid, int(busswitch::settingsRows().size()) + 1);
    page->layout()->addWidget(box);
    page->layout()->setAlignment(box, Qt::AlignLeft | Qt::AlignTop);

    ctx.bus.registerBusSwitchReply(this, 0x80, 0x05, [this](const Reply& r) { settingsReply(r); });
}

void BusSwitchFamily::buildSettingsRows(QWidget* box, QGridLayout* grid) {
    m_subnet = form::spin(box, QStringLiteral("SpinEdit12"), 0, 65535, 1);
    grid->addWidget(
        form::label(box, QStringLiteral("BusSwitchSubnetLabel"), QStringLiteral("Subnet ID :")), 0,
        0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(m_subnet, 0, 1, Qt::AlignLeft);
    int field = 0;
    int r = 1;
    for (const busswitch::SettingsRow& row : busswitch::settingsRows()) {
        const QString rowName = QString::fromLatin1(kRowNames[r - 1]);
        grid->addWidget(form::label(box, rowName, row.caption), r, 0,
                        Qt::AlignRight | Qt::AlignVCenter);
        const KindLook look = lookOf(row.kind);
        auto* line = new QHBoxLayout;
        line->setSpacing(2);
        for (int i = 0; i < row.fields; ++i, ++field) {
            if (i > 0)
                line->addWidget(form::label(box, rowName + QStringLiteral("Sep%1").arg(i),
                                            QString::fromLatin1(look.separator)));
            auto* e = settingsEdit(box, QString::fromLatin1(kFieldNames[field]), row.kind);
            line->addWidget(e);
            m_fields << e;
        }
        line->addStretch();
        grid->addLayout(line, r, 1);
        ++r;
    }
}

void BusSwitchFamily::buildButtons(QWidget* box, QGridLayout* grid, int firstRow) {
    struct Item {
        const char* name;
        const char* caption;
        void (BusSwitchFamily::*click)();
    };
    const Item items[] = {
        {"btn1", "Set", &BusSwitchFamily::btn1Click},
        {"btn2", "Read", &BusSwitchFamily::btn2Click},
        {"Button9", "Read Module Type", &BusSwitchFamily::Button9Click},
        {"Button33", "Read Software Version", &BusSwitchFamily::Button33Click},
        {"Button34", "Restore", &BusSwitchFamily::Button34Click},
        {"Button38", "Set Password", &BusSwitchFamily::Button38Click},
        {"Button39", "设置透传模式", &BusSwitchFamily::Button39Click},
    };
    QList<QPushButton*> buttons;
    for (const Item& item : items) {
        auto* b =
            form::button(box, QString::fromLatin1(item.name), QString::fromUtf8(item.caption));
        connect(b, &QPushButton::clicked, this, item.click);
        buttons << b;
    }
    // Set and Read beside the settings, the gateway's own operations under them.
    grid->addWidget(buttons[0], 0, 2);
    grid->addWidget(buttons[1], 1, 2);
    const struct {
        int button;
        const char* field;
        int maxLength;
    } rows[] = {{2, "Edit13", 32767}, {3, "Edit14", 32767}, {4, nullptr, 0}, {5, "Edit16", 16}};
    int r = firstRow;
    for (const auto& row : rows) {
        grid->addWidget(buttons[row.button], r, 0);
        if (row.field) {
            auto* e = form::edit(box, QString::fromLatin1(row.field), row.maxLength);
            grid->addWidget(e, r, 1);
            if (row.maxLength == 16)
                m_password = e;
        }
        ++r;
    }
    // Transparent mode is a service operation: its button is there but hidden.
    grid->addWidget(buttons[6], r, 0);
    buttons[6]->hide();
}

quint16 BusSwitchFamily::subnet() const {
    return m_ctx.bus.settings().subnetId();
}

void BusSwitchFamily::btn1Click() {
    QStringList texts;
    for (const QLineEdit* e : m_fields)
        texts << e->text();
    int bad = 0;
    const std::optional<QByteArray> block =
        busswitch::settingsBlock(form::value(m_subnet), texts, &bad);
    if (!block) {
        // Nothing is sent; the edit that did not convert gets the focus.
        m_ctx.prompts.message(busswitch::conversionError(bad, texts.value(bad)));
        m_fields[bad]->setFocus();
        return;
    }
    m_ctx.bus.sendToBusSwitch(busswitch::setSettings(*block),
                              busswitch::layout(busswitch::kSettingsSubnet));
}

void BusSwitchFamily::btn2Click() {
    // Subnet FF FF, no password, to everyone on the remote port: the one request that finds a
    // gateway whose subnet and password are unknown. The broadcast is for this send only.
    m_ctx.bus.submit(busswitch::readSettings(), Purpose::BusSwitch,
                     {.layout = busswitch::layout(busswitch::kSettingsSubnet),
                      .skipPassword = true,
                      .broadcast = true});
}

void BusSwitchFamily::Button9Click() {
    m_ctx.bus.sendToBusSwitch(busswitch::readType(), busswitch::layout(subnet()));
}

void BusSwitchFamily::Button33Click() {
    m_ctx.bus.sendToBusSwitch(busswitch::readVersion(), busswitch::layout(subnet()));
}

void BusSwitchFamily::Button34Click() {
    if (!m_ctx.prompts.confirm(QStringLiteral("Are you sure?")))
        return;
    // The gateway restarts before it answers: wait for it longer than for anything else.
    m_ctx.bus.submit(
        busswitch::restore(), Purpose::BusSwitch,
        {.layout = busswitch::layout(subnet()), .replyWaitMs = Bus::kRestoreReplyWaitMs});
}

void BusSwitchFamily::Button38Click() {
    const QString password = m_password->text();
    if (password.isEmpty()) {
        m_ctx.prompts.message(QStringLiteral("Please input password！"));
        return;
    }
    // The "Password" of the settings band stays as it is: the user changes it when the
    // gateway has taken the new one.
    m_ctx.bus.sendToBusSwitch(busswitch::setPassword(password), busswitch::layout(subnet()));
}

void BusSwitchFamily::Button39Click() {
    if (!m_ctx.prompts.confirm(QStringLiteral("Are you sure?")))
        return;
    m_ctx.bus.sendToBusSwitch(busswitch::setTransparentMode(), busswitch::layout(subnet()));
}

void BusSwitchFamily::settingsReply(const Reply& reply) {
    // The block stands at reply bytes 7..34 whatever the length byte says.
    const QByteArray block = busswitch::replyBlock(reply);
    m_subnet->setValue(busswitch::blockSubnet(block));
    const QStringList texts = busswitch::blockTexts(block);
    for (int i = 0; i < m_fields.size(); ++i)
        m_fields[i]->setText(texts.value(i));
}

#include "moc_bus_switch_family.cpp"
