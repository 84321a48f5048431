// Scenes and IR codes: the "Scene Settings" and "IR Control" tab sheets, with the rows their
// confirmations leave in "Scene Records" and "IR Records".
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "protocol/ir_requests.h"
#include "protocol/ir_rows.h"
#include "protocol/scene_requests.h"
#include "protocol/scene_rows.h"

#include <QJsonArray>
#include <QScopeGuard>

namespace cli {

namespace {
// Erasing every code takes an IR module a few seconds: the window waits this long.
constexpr int kIrDeleteAllWaitMs = 4000;
// The status of "IR Error".
constexpr quint8 kIrRefused = 8;
const QString kScenes = QStringLiteral("Scene Records");
const QString kIrCodes = QStringLiteral("IR Records");
} // namespace

void scene(CliLink& link) {
    const CommandArgs& a = link.options().given;
    if (a.verb == QLatin1String("test")) {
        // Every module that holds the scene calls it; the answer comes from the bus switch
        // or the first module, whichever speaks.
        link.require(scene::test(a.scene), QStringLiteral("scene test %1").arg(a.scene));
        return;
    }
    if (a.verb == QLatin1String("clear")) {
        link.require(scene::clearAll(a.module, 0), QStringLiteral("clear all scenes"));
        link.store(kScenes, [&a](RecordTable& t) { scene::clearModuleRows(t, a.module); });
        return;
    }
    // "Module Channels" is the number of targets given.
    const bool ir = a.verb == QLatin1String("set-ir");
    const int count = int(a.values.size());
    const Request request = ir ? scene::setIr(a.module, a.scene, a.values, count)
                               : scene::setTargets(a.module, a.scene, a.values, count);
    link.require(request, QStringLiteral("scene %1").arg(a.scene));
    const scene::Row row{a.scene, a.module, a.text,
                         ir ? scene::irTexts(a.values) : scene::targetTexts(a.values)};
    link.store(kScenes, [&row](RecordTable& t) { scene::storeRow(t, row); });
    CliOutput::printObject(link.options().json,
                           {QStringLiteral("module"), QStringLiteral("scene"),
                            QStringLiteral("name"), QStringLiteral("channels")},
                           {a.module, a.scene, row.name, QJsonArray::fromStringList(row.channels)});
}

namespace {
// Starts learning and waits for the learned code: reply 0x83/0x04 with status 1 from the
// module. A refusal (the module's "IR Error") leaves it learning, as the window stays in
// learning. The code is watched for from before the request: on the serial line it may come
// in the same block as the answer to it.
void learn(CliLink& link, int module, int irNo) {
    bool learned = false;
    quint8 refusal = 0;
    const auto connection =
        QObject::connect(&link.bus(), &Bus::replyAccepted, &link.bus(), [&](const Reply& r) {
            if (r[0] != 0x55 || r[3] != module || r[4] != 0x83 || r[5] != 0x04)
                return;
            if (r[6] == 1)
                learned = true;
            else
                refusal = r[6];
        });
    const auto stopWatching = qScopeGuard([connection] { QObject::disconnect(connection); });
    link.require(ir::learn(module, irNo), QStringLiteral("learning"));
    CliOutput::error(QStringLiteral("module %1 is learning IR code %2: press the remote's key")
                         .arg(module)
                         .arg(irNo));
    const int waitMs = link.options().learnWaitMs;
    link.waitUntil([&] { return learned; }, waitMs);
    if (learned)
        return;
    QString why = QStringLiteral("no code came within %1 ms").arg(waitMs);
    if (refusal)
        why += QStringLiteral(" (last answer: %1)").arg(CliLink::statusText(refusal));
    throw CliFailure(QStringLiteral("module %1 did not learn IR code %2: %3")
                         .arg(module)
                         .arg(irNo)
                         .arg(why)
                         .toStdString());
}
} // namespace

void irCodes(CliLink& link) {
    const CommandArgs& a = link.options().given;
    if (a.verb == QLatin1String("learn")) {
        learn(link, a.module, a.irNo);
        const QString name = link.options().name;
        link.store(kIrCodes, [&](RecordTable& t) { ir::storeLearned(t, a.module, a.irNo, name); });
        CliOutput::printObject(
            link.options().json,
            {QStringLiteral("module"), QStringLiteral("ir"), QStringLiteral("name")},
            {a.module, a.irNo, name});
    } else if (a.verb == QLatin1String("send")) {
        const CliLink::Answer answer = link.exchange(ir::send(a.module, a.irNo));
        // An IR module answers "IR Error" for a code it has not learned: say how to learn it,
        // not only that the module refused.
        if (answer.answered && answer.status == kIrRefused)
            throw CliFailure(QStringLiteral("module %1 refused IR code %2: %3 (probably not "
                                            "learned; 'velm-cli ir learn %1 %2' learns it)")
                                 .arg(a.module)
                                 .arg(a.irNo)
                                 .arg(CliLink::statusText(answer.status))
                                 .toStdString());
        link.require(answer, ir::send(a.module, a.irNo), QStringLiteral("IR code %1").arg(a.irNo),
                     link.options().timeoutMs);
    } else if (a.verb == QLatin1String("delete")) {
        link.require(ir::removeOne(a.module, a.irNo),
                     QStringLiteral("the delete of IR code %1").arg(a.irNo));
        link.store(kIrCodes, [&a](RecordTable& t) { ir::deleteCodeRow(t, a.module, a.irNo); });
    } else {
        link.require(ir::removeAll(a.module), QStringLiteral("the delete of every IR code"),
                     link.options().waitFor(kIrDeleteAllWaitMs));
        link.store(kIrCodes, [&a](RecordTable& t) { ir::clearModuleRows(t, a.module); });
    }
}

} // namespace cli
