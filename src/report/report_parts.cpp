#include "report/report_parts.h"

#include "report/html_writer.h"
#include "report/report_document.h"

#include <QDir>

namespace reportparts {

namespace {
const QString kNotRead = QStringLiteral("not read");
const QString kNoAnswer = QStringLiteral("did not answer");

QString orNotGiven(const QString& text) {
    return text.isEmpty() ? QStringLiteral("(not given)") : text;
}
} // namespace

void cover(const ReportContent& c, HtmlWriter& w) {
    w.heading(1, reportdocument::title(c));
    QList<QStringList> rows{
        {QStringLiteral("Site"), orNotGiven(c.site)},
        {QStringLiteral("Technician"), orNotGiven(c.technician)},
        {QStringLiteral("Made"), c.made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {QStringLiteral("VELM version"), c.version},
        {QStringLiteral("Record file"), QDir::toNativeSeparators(c.records.file)},
        {QStringLiteral("Record file SHA-256"), c.records.shortSha()},
        {QStringLiteral("Modules"),
         c.live ? QStringLiteral("read from the modules now, and from the records")
                : QStringLiteral("from the records only; the modules were not read")}};
    if (c.live)
        rows << QStringList{QStringLiteral("Link"), c.link};
    if (!c.liveFailure.isEmpty())
        rows << QStringList{QStringLiteral("Reading stopped"), c.liveFailure};
    w.pairs(rows);
}

void modules(const ReportContent& c, HtmlWriter& w) {
    if (c.modules.isEmpty())
        return;
    w.heading(2, QStringLiteral("Modules"));
    QStringList headers{QStringLiteral("Address"), QStringLiteral("Type"),
                        QStringLiteral("Software version"), QStringLiteral("In the records")};
    if (c.live)
        headers << QStringLiteral("Answered");
    if (c.sited)
        headers << QStringLiteral("Name") << QStringLiteral("Room");
    QList<QStringList> rows;
    QStringList classes;
    for (const ReportContent::Module& m : c.modules) {
        const bool silent = c.live && !m.answered;
        const QString type = m.type.isEmpty() ? (silent ? kNoAnswer : kNotRead) : m.type;
        const QString version = !m.version.isEmpty()                      ? m.version
                                : silent || (c.live && !m.type.isEmpty()) ? kNoAnswer
                                                                          : kNotRead;
        QStringList row{m.address == 0xFF ? QStringLiteral("255 (bus switch)")
                                          : QString::number(m.address),
                        type, version, m.named ? QStringLiteral("yes") : QStringLiteral("no")};
        if (c.live)
            row << (m.answered ? QStringLiteral("yes") : kNoAnswer);
        if (const ExpectedModule* e = c.expected(m.address); c.sited)
            row << (e ? e->name : QString()) << (e ? e->room : QString());
        rows << row;
        classes << (silent ? QStringLiteral("missing") : QString());
    }
    w.table(headers, rows, classes);
}

void busSwitch(const ReportContent& c, HtmlWriter& w) {
    if (!c.busSwitch)
        return;
    const ReportContent::BusSwitch& b = *c.busSwitch;
    w.heading(2, QStringLiteral("Bus switch network settings"));
    if (!b.answered) {
        w.paragraph(
            QStringLiteral("The bus switch %1.").arg(b.failure.isEmpty() ? kNoAnswer : b.failure),
            QStringLiteral("missing"));
        return;
    }
    const busswitch::SettingsText& s = b.settings;
    w.pairs({{QStringLiteral("Subnet ID"), s.subnet},
             {QStringLiteral("IP address"), s.ip},
             {QStringLiteral("Port"), s.port},
             {QStringLiteral("Mask"), s.mask},
             {QStringLiteral("Gateway"), s.gateway},
             {QStringLiteral("Server IP address"), s.serverIp},
             {QStringLiteral("Server port"), s.serverPort},
             {QStringLiteral("MAC address"), s.mac}});
}

void audit(const ReportContent& c, HtmlWriter& w) {
    if (!c.live)
        return;
    w.heading(2, QStringLiteral("Audit"));
    w.paragraph(QStringLiteral("Each module's records read back from the module and compared; "
                               "nothing was written."),
                QStringLiteral("note"));
    for (const ReportContent::Module& m : c.modules) {
        const QString name = m.address == 0xFF ? QStringLiteral("Bus switch (module 255)")
                                               : QStringLiteral("Module %1").arg(m.address);
        const auto it = c.audits.find(m.address);
        if (!m.answered) {
            w.heading(3, name);
            w.paragraph(QStringLiteral("%1 did not answer.").arg(name), QStringLiteral("missing"));
            continue;
        }
        if (it == c.audits.end())
            continue;
        const AuditReport& r = it.value();
        w.heading(3, name);
        w.paragraph(r.summary());
        QList<QStringList> rows;
        for (const AuditItem& i : r.items)
            if (i.verdict != AuditItem::Verdict::Same)
                rows << QStringList{
                    i.what, i.records.isEmpty() ? QStringLiteral("(none)") : i.records,
                    i.verdict == AuditItem::Verdict::NoAnswer
                        ? kNoAnswer
                        : (i.module.isEmpty() ? QStringLiteral("(none)") : i.module),
                    AuditItem::verdictText(i.verdict)};
        if (!rows.isEmpty())
            w.table({QStringLiteral("Record"), QStringLiteral("In the records"),
                     QStringLiteral("In the module"), QStringLiteral("Result")},
                    rows);
        QStringList cannot;
        for (const QString& n : r.notes)
            cannot << n;
        if (!cannot.isEmpty()) {
            w.paragraph(QStringLiteral("Cannot be read back:"), QStringLiteral("note"));
            w.list(cannot);
        }
    }
}

} // namespace reportparts
