#include "jobs/walk_run.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/whole_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {
struct VerdictWords {
    WalkResult::Verdict verdict;
    const char* key;
    const char* text;
};
constexpr VerdictWords kVerdicts[] = {
    {WalkResult::Verdict::Untested, "untested", "not tested"},
    {WalkResult::Verdict::Works, "works", "works"},
    {WalkResult::Verdict::DoesNot, "does-not", "does not work"},
    {WalkResult::Verdict::Skipped, "skipped", "skipped"},
    {WalkResult::Verdict::NoAnswer, "no-answer", "no answer"},
    {WalkResult::Verdict::Refused, "refused", "refused"},
    {WalkResult::Verdict::Answered, "answered", "answered"}};

const char* const kFormat = "velm-walk-test";
const QString kStamp = QStringLiteral("yyyyMMdd-HHmmss");

[[noreturn]] void badFile(const QString& file, const QString& why) {
    throw RecordError(
        QStringLiteral("%1 is no walk test result: %2").arg(database_file::shown(file), why));
}

QString folderOf(const QString& recordFile, const QString& siteDir) {
    return siteDir.isEmpty() ? QFileInfo(recordFile).absolutePath()
                             : QDir(siteDir).filePath(QStringLiteral("walk"));
}

QString prefixOf(const QString& recordFile, const QString& siteDir) {
    return siteDir.isEmpty() ? QFileInfo(recordFile).fileName() + QStringLiteral(".walk-")
                             : QString();
}
} // namespace

QString WalkResult::key(Verdict v) {
    for (const VerdictWords& w : kVerdicts)
        if (w.verdict == v)
            return QString::fromLatin1(w.key);
    return {};
}

std::optional<WalkResult::Verdict> WalkResult::verdictOf(const QString& key) {
    for (const VerdictWords& w : kVerdicts)
        if (key == QLatin1String(w.key))
            return w.verdict;
    return std::nullopt;
}

QString WalkResult::text(Verdict v) {
    for (const VerdictWords& w : kVerdicts)
        if (w.verdict == v)
            return QString::fromLatin1(w.text);
    return {};
}

QString WalkResult::historyDetail() const {
    QString d = QStringLiteral("%1: %2").arg(output.title(), text(verdict));
    if (!note.isEmpty())
        d += QStringLiteral(" (%1)").arg(note);
    return d;
}

QString WalkResult::historyOutcome() const {
    return failed() ? QStringLiteral("error: ") + text(verdict) : QStringLiteral("ok");
}

int WalkRun::firstUntested() const {
    for (int i = 0; i < results.size(); ++i)
        if (results.at(i).verdict == WalkResult::Verdict::Untested)
            return i;
    return -1;
}

QStringList WalkRun::leftOn() const {
    QStringList out;
    for (const WalkResult& r : results)
        if (r.leftOn)
            out << r.output.title();
    return out;
}

int WalkRun::count(WalkResult::Verdict v) const {
    return int(std::count_if(results.cbegin(), results.cend(),
                             [v](const WalkResult& r) { return r.verdict == v; }));
}

int WalkRun::failures() const {
    return int(std::count_if(results.cbegin(), results.cend(),
                             [](const WalkResult& r) { return r.failed(); }));
}

QString WalkRun::summary() const {
    QStringList parts;
    for (const VerdictWords& w : kVerdicts)
        if (const int n = count(w.verdict); n > 0)
            parts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(w.text));
    return QStringLiteral("%1 output(s): %2")
        .arg(results.size())
        .arg(parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", ")));
}

QByteArray WalkRun::toJson() const {
    QJsonArray items;
    for (const WalkResult& r : results) {
        QJsonObject o{{"kind", r.output.kindKey()},
                      {"module", r.output.module},
                      {"number", r.output.number},
                      {"output", r.output.title()},
                      {"result", WalkResult::key(r.verdict)}};
        if (!r.output.name.isEmpty())
            o.insert(QStringLiteral("name"), r.output.name);
        if (!r.note.isEmpty())
            o.insert(QStringLiteral("note"), r.note);
        if (r.time.isValid()) {
            o.insert(QStringLiteral("time"), r.time.toOffsetFromUtc(r.time.offsetFromUtc())
                                                 .toString(Qt::ISODate));
            o.insert(QStringLiteral("technician"), r.technician);
        }
        if (r.leftOn)
            o.insert(QStringLiteral("leftOn"), true);
        items.append(o);
    }
    const QJsonObject root{{"format", QLatin1String(kFormat)},
                           {"started", started.toOffsetFromUtc(started.offsetFromUtc())
                                           .toString(Qt::ISODate)},
                           {"technician", technician},
                           {"program", program},
                           {"auto", automatic},
                           {"stopped", stopped},
                           {"notes", QJsonArray::fromStringList(notes)},
                           {"summary", summary()},
                           {"outputs", items}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

WalkRun WalkRun::fromJson(const QByteArray& bytes, const QString& file) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        badFile(file, error.errorString());
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kFormat))
        badFile(file, QStringLiteral("it does not say \"format\": \"%1\"").arg(kFormat));
    WalkRun run;
    run.file = file;
    run.started = QDateTime::fromString(root.value(QStringLiteral("started")).toString(),
                                        Qt::ISODate);
    run.technician = root.value(QStringLiteral("technician")).toString();
    run.program = root.value(QStringLiteral("program")).toString();
    run.automatic = root.value(QStringLiteral("auto")).toBool();
    run.stopped = root.value(QStringLiteral("stopped")).toBool();
    for (const QJsonValue& n : root.value(QStringLiteral("notes")).toArray())
        run.notes << n.toString();
    const QJsonArray items = root.value(QStringLiteral("outputs")).toArray();
    for (int i = 0; i < items.size(); ++i) {
        const QJsonObject o = items.at(i).toObject();
        const auto kind = WalkOutput::kindOf(o.value(QStringLiteral("kind")).toString());
        const auto verdict = WalkResult::verdictOf(o.value(QStringLiteral("result")).toString());
        if (!kind || !verdict)
            badFile(file, QStringLiteral("output %1 has no known kind or result").arg(i + 1));
        WalkResult r;
        r.output = WalkOutput{*kind, o.value(QStringLiteral("module")).toInt(),
                              o.value(QStringLiteral("number")).toInt(),
                              o.value(QStringLiteral("name")).toString()};
        r.verdict = *verdict;
        r.note = o.value(QStringLiteral("note")).toString();
        r.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODate);
        r.technician = o.value(QStringLiteral("technician")).toString();
        r.leftOn = o.value(QStringLiteral("leftOn")).toBool();
        run.results << r;
    }
    return run;
}

WalkRun WalkRun::load(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw RecordError(
            QStringLiteral("Can not read %1: %2").arg(database_file::shown(file), f.errorString()));
    return fromJson(f.readAll(), file);
}

void WalkRun::save() const {
    QDir().mkpath(QFileInfo(file).absolutePath());
    WholeFile::save({file}, {toJson()});
}

QString WalkRun::newFile(const QString& recordFile, const QString& siteDir,
                         const QDateTime& time) {
    const QString base = QDir(folderOf(recordFile, siteDir))
                             .filePath(prefixOf(recordFile, siteDir) + time.toString(kStamp));
    QString name = base + QStringLiteral(".json");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("%1-%2.json").arg(base).arg(n);
    return name;
}

QStringList WalkRun::files(const QString& recordFile, const QString& siteDir) {
    const QDir dir(folderOf(recordFile, siteDir));
    const QStringList names =
        dir.entryList({prefixOf(recordFile, siteDir) + QStringLiteral("[0-9]*.json")},
                      QDir::Files, QDir::Name);
    QStringList out;
    for (const QString& n : names)
        out << dir.filePath(n);
    return out;
}
