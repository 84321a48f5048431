#include "app/link_panel.h"

#include "link/bus.h"
#include "link/tcomm.h"
#include "widgets/field_width.h"
#include "widgets/form_builder.h"
#include "widgets/key_filter.h"
#include "widgets/prompt_service.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>

namespace {
const QString kCreate = QStringLiteral("Create");
const QString kClose = QStringLiteral("Close");

// A port text as the transport takes it: digits only, and something there.
bool portValue(const QString& text, quint16* port) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    *port = quint16(value);
    return ok;
}
} // namespace

LinkPanel::LinkPanel(PromptService& prompts, QWidget* parent)
    : QGroupBox(QStringLiteral("Communication Settings"), parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("GroupBox4"));
    setFixedHeight(117);
    // On a small screen the fields scroll sideways inside the band; the Create/Close buttons
    // and the mode switches stay in view at its right end.
    auto* fields = new QWidget;
    fields->setObjectName(QStringLiteral("GroupBox4Fields"));
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("GroupBox4Scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(fields);
    auto* switches = new QGridLayout;
    buildSerialRow(grid, switches);
    buildNetworkRow(grid, switches);
    grid->setColumnStretch(12, 1);
    auto* band = new QHBoxLayout(this);
    band->addWidget(scroll, 1);
    band->addLayout(switches);

    auto* modes = new QButtonGroup(this);
    modes->addButton(m_serialMode);
    modes->addButton(m_networkMode);
    connect(m_networkMode, &QRadioButton::toggled, this, [this] {
        m_notice.clear();
        showLinkState();
    });
    connect(m_com, &QComboBox::currentTextChanged, this, &LinkPanel::showLinkState);
}

void LinkPanel::attach(Bus* bus) {
    m_bus = bus;
    connect(bus, &Bus::requestNotice, this, [this](const QString& text) {
        m_notice = text;
        showLinkState();
    });
    // The port's driver reports a device that went away as a hang-up.
    connect(bus, &Bus::serialHangUp, this, &LinkPanel::showLinkState);
    connect(bus, &Bus::setOutcome, this, [this](const QString& text) {
        m_setOutcome = text;
        showLinkState();
    });
}

void LinkPanel::setStatusLabels(QLabel* status, QLabel* linkState) {
    m_status = status;
    m_linkState = linkState;
    showLinkState();
}

void LinkPanel::setRecordFileNote(const QString& note) {
    m_recordFileNote = note;
    showLinkState();
}

void LinkPanel::showLinkState() {
    if (!m_linkState || !m_bus)
        return;
    QString text;
    if (networkMode()) {
        const QString where = QStringLiteral("%1:%2").arg(m_remoteIp->text(), m_remotePort->text());
        text = m_bus->networkOpen()
                   ? QStringLiteral("Requests go over the network to %1: open.").arg(where)
                   : QStringLiteral("Requests go over the network: not open.");
    } else if (m_bus->serialGone()) {
        // The port stays open until Close is pressed: only the button changes the link.
        const QString name = m_bus->serialName();
        text = QStringLiteral("%1 went away (adapter unplugged?): press Close, plug it in and "
                              "press Create.")
                   .arg(name);
    } else {
        text = QStringLiteral("Requests go over %1: %2.")
                   .arg(m_com->currentText(),
                        m_bus->serialOpen() ? QStringLiteral("open") : QStringLiteral("not open"));
    }
    if (!m_notice.isEmpty())
        text += QStringLiteral("  ") + m_notice;
    if (!m_setOutcome.isEmpty())
        text += QStringLiteral("  ") + m_setOutcome;
    if (!m_recordFileNote.isEmpty())
        text += QStringLiteral("  ") + m_recordFileNote;
    if (!m_siteName.isEmpty())
        text = QStringLiteral("Site %1.  ").arg(m_siteName) + text;
    m_linkState->setText(text);
}

void LinkPanel::setSiteName(const QString& name) {
    m_siteName = name;
    showLinkState();
}

void LinkPanel::fillLocalIp() {
    m_localIp->setText(localAddress());
}

void LinkPanel::buildSerialRow(QGridLayout* grid, QGridLayout* switches) {
    m_com = form::combo(this, QStringLiteral("ComboBox5"), TComm::portNames(), 0);
    m_baud = form::combo(
        this, QStringLiteral("ComboBox1"),
        {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "115200", "128000"},
        3);
    m_byteSize = form::combo(this, QStringLiteral("ComboBox2"), {"5", "6", "7", "8"}, 3);
    m_parity =
        form::combo(this, QStringLiteral("ComboBox3"), {"Even", "Mark", "None", "Odd", "Space"}, 2);
    m_stopBits = form::combo(this, QStringLiteral("ComboBox4"), {"1", "1.5", "2"}, 0);
    m_serialButton = form::button(this, QStringLiteral("Button10"), kCreate);
    m_serialMode = form::radio(this, QStringLiteral("RadioButton2"), QStringLiteral("Com"), true);
    m_extension = form::check(this, QStringLiteral("CheckBox13"), QStringLiteral("分机通道"));
    m_extension->hide();

    form::row(grid, 0, 0, QStringLiteral("LabelComboBox5"), QStringLiteral("Com"), m_com);
    form::row(grid, 0, 2, QStringLiteral("Label2"), QStringLiteral("Baud Rate"), m_baud);
    form::row(grid, 0, 4, QStringLiteral("Label3"), QStringLiteral("Byte Size"), m_byteSize);
    form::row(grid, 0, 6, QStringLiteral("Label4"), QStringLiteral("Parity"), m_parity);
    form::row(grid, 0, 8, QStringLiteral("Label5"), QStringLiteral("Stop Bits"), m_stopBits);
    switches->addWidget(m_serialButton, 0, 0);
    switches->addWidget(m_serialMode, 0, 1);
    switches->addWidget(m_extension, 0, 2);
    connect(m_serialButton, &QPushButton::clicked, this, &LinkPanel::Button10Click);
}

void LinkPanel::buildNetworkRow(QGridLayout* grid, QGridLayout* switches) {
    m_localIp = form::edit(this, QStringLiteral("Edit3"));
    m_localIp->setReadOnly(true);
    m_localPort = form::edit(this, QStringLiteral("Edit6"), 5, QStringLiteral("2002"));
    m_remoteIp =
        form::edit(this, QStringLiteral("Edit4"), 15, QString::fromLatin1(kDefaultRemoteIp));
    m_remotePort = form::edit(this, QStringLiteral("Edit5"), 5, QStringLiteral("2001"));
    m_subnet = form::spin(this, QStringLiteral("SpinEdit7"), 0, 65535, 1);
    m_password = form::edit(this, QStringLiteral("Edit18"), 16, QStringLiteral("418273"));
    m_networkButton = form::button(this, QStringLiteral("Button32"), kCreate);
    m_networkMode = form::radio(this, QStringLiteral("RadioButton1"), QStringLiteral("TCP/IP "));
    m_masked = form::check(this, QStringLiteral("chk1"), QStringLiteral("公开版"), true);
    m_masked->hide();

    form::fitWidth(m_localIp, QStringLiteral("888.888.888.888"));
    form::fitWidth(m_localPort, QStringLiteral("88888"));
    form::fitWidth(m_remoteIp, QStringLiteral("888.888.888.888"));
    form::fitWidth(m_remotePort, QStringLiteral("88888"));
    form::fitWidth(m_password, QString(16, QLatin1Char('8')));

    KeyFilter::install(m_remoteIp, KeyFilter::Edit4KeyPress);
    KeyFilter::install(m_remotePort, KeyFilter::Edit5KeyPress);
    KeyFilter::install(m_localPort, KeyFilter::Edit6KeyPress);

    form::row(grid, 1, 0, QStringLiteral("Label6"), QStringLiteral("Local IP"), m_localIp);
    form::row(grid, 1, 2, QStringLiteral("Label7"), QStringLiteral("Local Port"), m_localPort);
    form::row(grid, 1, 4, QStringLiteral("Label9"), QStringLiteral("Remote IP"), m_remoteIp);
    form::row(grid, 1, 6, QStringLiteral("Label10"), QStringLiteral("Remote Port"), m_remotePort);
    form::row(grid, 1, 8, QStringLiteral("Label11"), QStringLiteral("Subnet ID"), m_subnet);
    form::row(grid, 1, 10, QStringLiteral("Label12"), QStringLiteral("Password"), m_password);
    switches->addWidget(m_networkButton, 1, 0);
    switches->addWidget(m_networkMode, 1, 1);
    switches->addWidget(m_masked, 1, 2);
    connect(m_networkButton, &QPushButton::clicked, this, &LinkPanel::Button32Click);
}

bool LinkPanel::networkMode() const {
    return m_networkMode->isChecked();
}
bool LinkPanel::extensionChannel() const {
    return m_extension->isChecked();
}
bool LinkPanel::maskedLog() const {
    return m_masked->isChecked();
}
QString LinkPanel::password() const {
    return m_password->text();
}
quint16 LinkPanel::subnetId() const {
    return quint16(m_subnet->value());
}
QString LinkPanel::remotePortText() const {
    return m_remotePort->text();
}

void LinkPanel::Button10Click() {
    if (m_serialButton->text() == kCreate) {
        // The list is in alphabetical order; the driver's parity codes (None, Odd, Even, Mark,
        // Space) are not.
        static const int parities[] = {2, 3, 0, 1, 4};
        QString detail;
        const QString failure =
            m_bus->openSerial({.port = m_com->currentText(),
                               .baud = m_baud->currentText().toInt(),
                               .byteSize = m_byteSize->currentIndex(),
                               .parity = parities[qBound(0, m_parity->currentIndex(), 4)],
                               .stopBits = m_stopBits->currentIndex()},
                              &detail);
        if (!failure.isEmpty()) {
            m_prompts.message(QStringLiteral("Error!"), detail);
            return;
        }
        setStatus(QStringLiteral("Com is running!"));
        m_serialButton->setText(kClose);
        setSerialControlsEnabled(false);
    } else {
        m_bus->closeSerial();
        m_bus->linkClosed();
        setStatus(QString());
        m_serialButton->setText(kCreate);
        setSerialControlsEnabled(true);
    }
    m_notice.clear();
    showLinkState();
}

void LinkPanel::Button32Click() {
    if (m_networkButton->text() == kCreate) {
        quint16 remotePort = 0;
        quint16 localPort = 0;
        const bool remoteOk = portValue(m_remotePort->text(), &remotePort);
        if (!remoteOk || !portValue(m_localPort->text(), &localPort)) {
            m_bus->closeNetwork();
            m_prompts.message(QStringLiteral("Error!"),
                              QStringLiteral("\"%1\" is not a port number: type 0 to 65535.")
                                  .arg(remoteOk ? m_localPort->text() : m_remotePort->text()));
            return;
        }
        const QString why = m_bus->openNetwork({m_remoteIp->text(), remotePort, localPort});
        if (!why.isEmpty()) {
            m_prompts.message(QStringLiteral("Error!"), why);
            return;
        }
        m_networkButton->setText(kClose);
        setNetworkControlsEnabled(false);
        setStatus(QStringLiteral("UDP is running!"));
    } else {
        setStatus(QString());
        m_bus->closeNetwork();
        m_bus->linkClosed();
        m_networkButton->setText(kCreate);
        setNetworkControlsEnabled(true);
    }
    m_notice.clear();
    showLinkState();
}

void LinkPanel::setSerialControlsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(m_baud), static_cast<QWidget*>(m_byteSize),
                       static_cast<QWidget*>(m_parity), static_cast<QWidget*>(m_stopBits),
                       static_cast<QWidget*>(m_com), static_cast<QWidget*>(m_serialMode)})
        w->setEnabled(enabled);
}

void LinkPanel::setNetworkControlsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(m_localIp), static_cast<QWidget*>(m_remoteIp),
                       static_cast<QWidget*>(m_remotePort), static_cast<QWidget*>(m_localPort),
                       static_cast<QWidget*>(m_subnet), static_cast<QWidget*>(m_networkMode)})
        w->setEnabled(enabled);
}

void LinkPanel::setStatus(const QString& text) {
    if (m_status)
        m_status->setText(text);
}

QString LinkPanel::localAddress() {
    const QString host = QHostInfo::localHostName();
    if (host.isEmpty())
        return QStringLiteral("0.0.0.0");
    if (!host.at(0).isDigit()) {
        const QHostInfo info = QHostInfo::fromName(host);
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                const quint32 v = a.toIPv4Address();
                return QStringLiteral("%1.%2.%3.%4")
                    .arg(v >> 24)
                    .arg((v >> 16) & 0xFF)
                    .arg((v >> 8) & 0xFF)
                    .arg(v & 0xFF);
            }
        }
        return QString();
    }
    QHostAddress address;
    if (address.setAddress(host) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return host;
    return QString();
}

#include "moc_link_panel.cpp"
