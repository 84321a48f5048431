#pragma once

#include "link/link_settings.h"

#include <QGroupBox>

class Bus;
class PromptService;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The "Communication Settings" band: serial and network settings, their Create/Close
// buttons, the link mode, subnet ID and password. It is also what the send path reads.
class LinkPanel : public QGroupBox, public LinkSettings {
    Q_OBJECT
public:
    // The factory address of the bus switch; tests and demos replace it with 127.0.0.1.
    static constexpr const char* kDefaultRemoteIp = "192.168.10.250";

    LinkPanel(PromptService& prompts, QWidget* parent);
    void attach(Bus* bus);
    // The status panel of the bottom band shows the link state; the area beside it says which
    // link requests use, whether it is open, and what became of a request the log cannot
    // account for (not sent, not answered).
    void setStatusLabels(QLabel* status, QLabel* linkState);
    // A word on the record file after the link state (a missing file and how to make it, a
    // file in the Access format and how to convert it); empty: none.
    void setRecordFileNote(const QString& note);

    bool networkMode() const override;
    bool extensionChannel() const override;
    bool maskedLog() const override;
    QString password() const override;
    quint16 subnetId() const override;
    QString remotePortText() const override;

    // The site the window works on, named in front of the link state; empty: none.
    void setSiteName(const QString& name);

    // "Local IP": this machine's first IPv4 address, looked up once at start-up.
    void fillLocalIp();

    void Button10Click(); // serial Create / Close
    void Button32Click(); // network Create / Close

private:
    // The fields go into `grid`, the Create/Close button and the mode switch into `switches`.
    void buildSerialRow(QGridLayout* grid, QGridLayout* switches);
    void buildNetworkRow(QGridLayout* grid, QGridLayout* switches);
    void setSerialControlsEnabled(bool enabled);
    void setNetworkControlsEnabled(bool enabled);
    void setStatus(const QString& text);
    void showLinkState();
    static QString localAddress();

    PromptService& m_prompts;
    Bus* m_bus = nullptr;
    QString m_recordFileNote;
    QLabel* m_status = nullptr;
    QLabel* m_linkState = nullptr;
    QString m_notice;
    QString m_siteName;
    // The outcome of the last Set that was not answered within its wait.
    QString m_setOutcome;
    QComboBox* m_com = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_byteSize = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_stopBits = nullptr;
    QPushButton* m_serialButton = nullptr;
    QRadioButton* m_serialMode = nullptr;
    QCheckBox* m_extension = nullptr;
    QLineEdit* m_localIp = nullptr;
    QLineEdit* m_localPort = nullptr;
    QLineEdit* m_remoteIp = nullptr;
    QLineEdit* m_remotePort = nullptr;
    QSpinBox* m_subnet = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_networkButton = nullptr;
    QRadioButton* m_networkMode = nullptr;
    QCheckBox* m_masked = nullptr;
};
