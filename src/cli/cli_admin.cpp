// Module administration and the bus switch: the "Module Settings" tab sheet's two groups.
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "protocol/bus_switch_requests.h"
#include "protocol/module_admin_requests.h"

#include <QJsonArray>

namespace cli {

namespace {
// A restarting module or bus switch answers late: the window waits this long for it.
constexpr int kRestoreWaitMs = Bus::kRestoreReplyWaitMs;

void printValue(const CliLink& link, const QString& key, const QJsonValue& value, int module) {
    CliOutput::printObject(link.options().json, {QStringLiteral("module"), key}, {module, value});
}
} // namespace

void module(CliLink& link) {
    const CommandArgs& a = link.options().given;
    const CliOptions& o = link.options();
    if (a.verb == QLatin1String("read")) {
        // Every module hears it; the one in addressing mode answers with its address.
        const CliLink::Answer r =
            link.require(moduleadmin::readAddress(), QStringLiteral("the address read"));
        CliOutput::printObject(o.json, {QStringLiteral("address")}, {int(r[7])});
    } else if (a.verb == QLatin1String("address")) {
        // The Set goes to every module and carries only the new address.
        link.require(moduleadmin::setAddress(a.value),
                     QStringLiteral("the new address %1").arg(a.value));
    } else if (a.verb == QLatin1String("test")) {
        link.require(moduleadmin::test(a.module), QStringLiteral("the test"));
    } else if (a.verb == QLatin1String("type")) {
        const CliLink::Answer r =
            link.require(moduleadmin::readType(a.module), QStringLiteral("the type read"));
        printValue(link, QStringLiteral("type"), moduleadmin::typeText(r.reply()), a.module);
    } else if (a.verb == QLatin1String("version")) {
        const CliLink::Answer r =
            link.require(moduleadmin::readVersion(a.module), QStringLiteral("the version read"));
        printValue(link, QStringLiteral("version"), moduleadmin::versionText(r.reply()), a.module);
    } else {
        link.require(moduleadmin::restore(a.module), QStringLiteral("the restore"),
                     o.waitFor(kRestoreWaitMs));
    }
}

namespace {
void printSettings(const CliLink& link, const CliLink::Answer& r) {
    const busswitch::SettingsText t = busswitch::settingsText(busswitch::replyBlock(r.reply()));
    CliOutput::printObject(
        link.options().json,
        {"subnet", "ip", "port", "mask", "gateway", "serverIp", "serverPort", "mac"},
        {t.subnet.toInt(), t.ip, t.port.toInt(), t.mask, t.gateway, t.serverIp,
         t.serverPort.toInt(), t.mac});
}
} // namespace

void busSwitch(CliLink& link) {
    const CommandArgs& a = link.options().given;
    const CliOptions& o = link.options();
    const RequestLayout own = busswitch::layout(o.subnet);
    const RequestLayout anySubnet = busswitch::layout(busswitch::kSettingsSubnet);
    if (a.verb == QLatin1String("read")) {
        // Subnet FF FF, no password and, over the network, to everyone on the remote port:
        // the one request that finds a bus switch whose subnet and password are unknown.
        const CliLink::Answer r = link.require(
            busswitch::readSettings(), QStringLiteral("the settings read"), o.timeoutMs,
            {.layout = anySubnet, .skipPassword = true, .broadcast = true});
        printSettings(link, r);
    } else if (a.verb == QLatin1String("set")) {
        link.require(busswitch::setSettings(a.block), QStringLiteral("the settings"), o.timeoutMs,
                     {.layout = anySubnet});
    } else if (a.verb == QLatin1String("type")) {
        const CliLink::Answer r = link.require(
            busswitch::readType(), QStringLiteral("the type read"), o.timeoutMs, {.layout = own});
        printValue(link, QStringLiteral("type"), moduleadmin::typeText(r.reply()), 255);
    } else if (a.verb == QLatin1String("version")) {
        const CliLink::Answer r =
            link.require(busswitch::readVersion(), QStringLiteral("the version read"), o.timeoutMs,
                         {.layout = own});
        printValue(link, QStringLiteral("version"), moduleadmin::versionText(r.reply()), 255);
    } else if (a.verb == QLatin1String("password")) {
        // The link's own --password stays: the next run gives the new one.
        link.require(busswitch::setPassword(a.text), QStringLiteral("the new password"),
                     o.timeoutMs, {.layout = own});
    } else if (a.verb == QLatin1String("restore")) {
        link.require(busswitch::restore(), QStringLiteral("the restore"), o.waitFor(kRestoreWaitMs),
                     {.layout = own});
    } else {
        link.require(busswitch::setTransparentMode(), QStringLiteral("transparent mode"),
                     o.timeoutMs, {.layout = own});
    }
}

} // namespace cli
