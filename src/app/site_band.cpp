#include "app/site_band.h"

#include "app/link_panel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace siteband {

namespace {
template <class T> T* control(const QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

void choose(const QWidget* window, const char* name, const QString& text) {
    if (auto* combo = control<QComboBox>(window, name)) {
        const int index = combo->findText(text);
        if (index >= 0)
            combo->setCurrentIndex(index);
    }
}

void setText(const QWidget* window, const char* name, const QString& text) {
    if (auto* edit = control<QLineEdit>(window, name))
        edit->setText(text);
}

QString textOf(const QWidget* window, const char* name) {
    if (auto* edit = control<QLineEdit>(window, name))
        return edit->text();
    if (auto* combo = control<QComboBox>(window, name))
        return combo->currentText();
    return QString();
}

// A port as the band holds it; a text that is none leaves the site's.
void takePort(const QWidget* window, const char* name, int& port) {
    bool ok = false;
    const int value = textOf(window, name).toInt(&ok);
    if (ok && value >= 0 && value <= 65535)
        port = value;
}

constexpr const char* kDefaultPassword = "418273";
} // namespace

void fill(QWidget* window, const SiteSettings& s) {
    const SiteLink& l = s.link;
    choose(window, "ComboBox5", l.serialDevice);
    choose(window, "ComboBox1", QString::number(l.baud));
    choose(window, "ComboBox2", QString::number(l.byteSize));
    choose(window, "ComboBox3", l.parity);
    choose(window, "ComboBox4", l.stopBits);
    setText(window, "Edit6", QString::number(l.localPort));
    setText(window, "Edit4",
            l.remoteIp.isEmpty() ? QString::fromLatin1(LinkPanel::kDefaultRemoteIp) : l.remoteIp);
    setText(window, "Edit5", QString::number(l.remotePort));
    if (auto* subnet = control<QSpinBox>(window, "SpinEdit7"))
        subnet->setValue(l.subnetId);
    setText(window, "Edit18",
            s.rememberPassword ? s.password : QString::fromLatin1(kDefaultPassword));
    if (auto* mode = control<QRadioButton>(window, l.network ? "RadioButton1" : "RadioButton2"))
        mode->setChecked(true);
}

void take(const QWidget* window, SiteSettings& s) {
    SiteLink& l = s.link;
    if (auto* network = control<QRadioButton>(window, "RadioButton1"))
        l.network = network->isChecked();
    l.serialDevice = textOf(window, "ComboBox5");
    l.baud = textOf(window, "ComboBox1").toInt();
    l.byteSize = textOf(window, "ComboBox2").toInt();
    l.parity = textOf(window, "ComboBox3");
    l.stopBits = textOf(window, "ComboBox4");
    takePort(window, "Edit6", l.localPort);
    l.remoteIp = textOf(window, "Edit4");
    takePort(window, "Edit5", l.remotePort);
    if (auto* subnet = control<QSpinBox>(window, "SpinEdit7"))
        l.subnetId = subnet->value();
    s.password = s.rememberPassword ? textOf(window, "Edit18") : QString();
}

} // namespace siteband
