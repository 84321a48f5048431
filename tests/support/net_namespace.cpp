#include "support/net_namespace.h"

#include <QCoreApplication>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>

namespace {

const char* const kChildVariable = "VELM_NETNS_CHILD";
constexpr int kSetupFailed = 97;

QString findTool(const QString& name) {
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    return path;
}

QString output(QProcess& p) {
    return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

} // namespace

namespace netns {

bool isChild() {
    return qEnvironmentVariableIsSet(kChildVariable);
}

bool isolated(Setup setup) {
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces) {
        const bool ours = setup == Setup::SecondInterface &&
                          i.name().startsWith(QLatin1String(kSecondInterface).chopped(1));
        if (!i.flags().testFlag(QNetworkInterface::IsLoopBack) && !ours)
            return false;
    }
    return !interfaces.isEmpty();
}

Outcome runIsolated(const QString& testFunction, int timeoutMs, Setup setup) {
    const QString unshare = findTool(QStringLiteral("unshare"));
    const QString ip = findTool(QStringLiteral("ip"));
    if (unshare.isEmpty() || ip.isEmpty())
        return {Outcome::Unavailable,
                QStringLiteral("needs unshare (util-linux) and ip (iproute2) to make a network "
                               "namespace")};

    // In the new namespace: loopback up, the limited broadcast routed to it, then this
    // program with only the one test function.
    const QString route =
        setup == Setup::SecondInterface
            ? QStringLiteral("\"$1\" link add velm0 type veth peer name velm1 &&\n"
                             "\"$1\" addr add 10.213.0.1/24 dev velm0 &&\n"
                             "\"$1\" link set velm1 up && \"$1\" link set velm0 up &&\n"
                             "\"$1\" route add 255.255.255.255/32 dev velm0 src 10.213.0.1 ")
            : QStringLiteral("\"$1\" route add 255.255.255.255/32 dev lo src 127.0.0.1 ");
    const QString script = QStringLiteral("\"$1\" link set lo up &&\n%1"
                                          "|| exit %2\n"
                                          "shift\n"
                                          "exec \"$@\"")
                               .arg(route)
                               .arg(kSetupFailed);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(unshare, {"-n", "sh", "-c", script, "velm-netns", ip,
                          QCoreApplication::applicationFilePath(), testFunction});
    if (!child.waitForStarted(10000))
        return {Outcome::Unavailable,
                QStringLiteral("cannot start unshare: ") + child.errorString()};
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished(5000);
        return {Outcome::Failed,
                QStringLiteral("no result within %1 ms:\n").arg(timeoutMs) + output(child)};
    }
    const QString text = output(child);
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        return {Outcome::Passed, text};
    // unshare itself fails (exit 1, "unshare failed: Operation not permitted") where
    // namespaces cannot be made; the setup inside has its own code.
    const bool refused =
        child.exitStatus() == QProcess::NormalExit &&
        (child.exitCode() == kSetupFailed || text.startsWith(QLatin1String("unshare:")));
    if (refused)
        return {Outcome::Unavailable,
                QStringLiteral("cannot make a network namespace here: ") + text};
    return {Outcome::Failed, text};
}

} // namespace netns
