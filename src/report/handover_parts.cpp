#include "report/handover_parts.h"

#include "report/html_writer.h"

#include <QMap>

#include <algorithm>

namespace handoverparts {

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString groupName(int module) {
    return module == WalkOutput::kWholeBus ? QStringLiteral("Scenes (called on the whole bus)")
                                           : QStringLiteral("Module %1").arg(module);
}
} // namespace

void walkTest(const ReportContent& c, HtmlWriter& w) {
    if (c.walkResults.isEmpty() && c.walkUnreadable.isEmpty())
        return;
    w.heading(2, QStringLiteral("Walk test"));
    w.paragraph(QStringLiteral("Each output switched while the load was watched; its latest "
                               "result is shown, failures first. \"answered\": the module took "
                               "the request, nobody looked."),
                QStringLiteral("note"));
    // Modules in address order, the scenes of the whole bus last.
    QMap<int, QList<WalkResult>> byModule;
    for (const WalkResult& r : c.walkResults)
        byModule[r.output.module] << r;
    for (auto it = byModule.begin(); it != byModule.end(); ++it) {
        QList<WalkResult> results = it.value();
        std::stable_sort(results.begin(), results.end(),
                         [](const WalkResult& a, const WalkResult& b) {
                             return a.failed() && !b.failed();
                         });
        const int failed = int(std::count_if(results.cbegin(), results.cend(),
                                             [](const WalkResult& r) { return r.failed(); }));
        // The module's heading heads its table: a table longer than a page shows it again
        // on the next one.
        QList<HtmlWriter::Caption> captions{{groupName(it.key()), QStringLiteral("group")}};
        if (failed > 0)
            captions << HtmlWriter::Caption{
                QStringLiteral("%1 of %2 output(s) failed.").arg(failed).arg(results.size()),
                QStringLiteral("group missing")};
        QList<QStringList> rows;
        QStringList classes;
        for (const WalkResult& r : results) {
            QString output = r.output.kind == WalkOutput::Kind::Scene ? r.output.title()
                                                                      : r.output.text();
            if (r.output.kind == WalkOutput::Kind::Curtain)
                output = QStringLiteral("curtain ") + output;
            rows << QStringList{output, WalkResult::text(r.verdict), r.note,
                                r.time.toString(kTimeFormat), r.technician};
            classes << (r.failed() ? QStringLiteral("missing") : QString());
        }
        w.table({QStringLiteral("Output"), QStringLiteral("Result"), QStringLiteral("Note"),
                 QStringLiteral("Time"), QStringLiteral("Technician")},
                rows, classes, QString(), captions);
    }
    for (const QString& why : c.walkUnreadable)
        w.paragraph(why, QStringLiteral("unfit"));
}

void replacements(const ReportContent& c, HtmlWriter& w) {
    QList<QStringList> rows;
    QStringList classes;
    for (const HistoryEntry& e : c.history) {
        if (e.action != QLatin1String("replace"))
            continue;
        rows << QStringList{e.time.toString(kTimeFormat), e.technician,
                            e.module < 0 ? QString() : QString::number(e.module), e.detail,
                            e.outcome};
        classes << (e.outcome == HistoryEntry::ok() ? QString() : QStringLiteral("missing"));
    }
    if (rows.isEmpty())
        return;
    w.heading(2, QStringLiteral("Replacements"));
    w.paragraph(QStringLiteral("Modules replaced by a spare, step by step."),
                QStringLiteral("note"));
    w.table({QStringLiteral("Time"), QStringLiteral("Technician"), QStringLiteral("Module"),
             QStringLiteral("Step"), QStringLiteral("Outcome")},
            rows, classes);
}

} // namespace handoverparts
