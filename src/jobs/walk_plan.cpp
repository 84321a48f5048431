#include "jobs/walk_plan.h"

#include "protocol/curtain_requests.h"
#include "protocol/ir_requests.h"
#include "protocol/light_requests.h"
#include "protocol/module_kinds.h"
#include "protocol/scene_requests.h"

#include <QMap>

namespace {
struct KindWord {
    WalkOutput::Kind kind;
    const char* key;
};
constexpr KindWord kKindWords[] = {{WalkOutput::Kind::Light, "light"},
                                   {WalkOutput::Kind::Curtain, "curtain"},
                                   {WalkOutput::Kind::Ir, "ir"},
                                   {WalkOutput::Kind::Scene, "scene"}};

QString withName(const QString& text, const QString& name) {
    return name.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, name);
}
} // namespace

QString WalkOutput::kindKey() const {
    for (const KindWord& w : kKindWords)
        if (w.kind == kind)
            return QString::fromLatin1(w.key);
    return {};
}

std::optional<WalkOutput::Kind> WalkOutput::kindOf(const QString& key) {
    for (const KindWord& w : kKindWords)
        if (key == QLatin1String(w.key))
            return w.kind;
    return std::nullopt;
}

QString WalkOutput::text() const {
    switch (kind) {
    case Kind::Light:
    case Kind::Curtain:
        return QStringLiteral("channel %1").arg(number);
    case Kind::Ir:
        return withName(QStringLiteral("IR code %1").arg(number), name);
    case Kind::Scene:
        return withName(QStringLiteral("scene %1").arg(number), name);
    }
    return {};
}

QString WalkOutput::title() const {
    switch (kind) {
    case Kind::Light:
        return QStringLiteral("Light %1, %2").arg(module).arg(text());
    case Kind::Curtain:
        return QStringLiteral("Curtain %1, %2").arg(module).arg(text());
    case Kind::Ir:
        return QStringLiteral("IR %1, %2").arg(module).arg(text());
    case Kind::Scene:
        return withName(QStringLiteral("Scene %1").arg(number), name);
    }
    return {};
}

QString WalkOutput::hint() const {
    if (kind == Kind::Scene)
        return QStringLiteral("called on the whole bus: every module holding scene %1 acts")
            .arg(number);
    if (kind == Kind::Curtain)
        return QStringLiteral("opening; it is stopped and closed again after the answer");
    return {};
}

Request WalkOutput::act() const {
    switch (kind) {
    case Kind::Light:
        return light::on(module, number);
    case Kind::Curtain:
        return curtain::open(module, number);
    case Kind::Ir:
        return ir::send(module, number);
    case Kind::Scene:
        break;
    }
    return scene::test(number);
}

QList<Request> WalkOutput::back() const {
    if (kind == Kind::Curtain)
        return {curtain::stop(module, number), curtain::close(module, number)};
    return stop();
}

QList<Request> WalkOutput::stop() const {
    if (kind == Kind::Light)
        return {light::off(module, number)};
    if (kind == Kind::Curtain)
        return {curtain::stop(module, number)};
    return {};
}

namespace walkplan {

QList<WalkOutput> outputs(const QList<WalkModule>& modules, const QList<ModuleRecords>& records) {
    QList<WalkOutput> out;
    QMap<int, QString> scenes; // scene number → the first name the records give it
    for (const WalkModule& m : modules) {
        const modulekind::Kind kind = modulekind::ofType(m.type);
        const int channels = modulekind::channels(m.type);
        for (int ch = 1; ch <= channels; ++ch)
            out << WalkOutput{kind == modulekind::Kind::Light ? WalkOutput::Kind::Light
                                                               : WalkOutput::Kind::Curtain,
                              m.address, ch, QString()};
        for (const ModuleRecords& r : records) {
            if (r.module != m.address)
                continue;
            for (const ModuleRecords::IrCode& code : r.irCodes)
                out << WalkOutput{WalkOutput::Kind::Ir, m.address, code.irNo, code.name};
            for (const ModuleRecords::Scene& s : r.scenes)
                if (s.unfit.isEmpty() && (!scenes.contains(s.sceneNo) || scenes[s.sceneNo].isEmpty()))
                    scenes.insert(s.sceneNo, s.name);
        }
    }
    for (auto it = scenes.cbegin(); it != scenes.cend(); ++it)
        out << WalkOutput{WalkOutput::Kind::Scene, WalkOutput::kWholeBus, it.key(), it.value()};
    return out;
}

} // namespace walkplan
