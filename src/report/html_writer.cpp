#include "report/html_writer.h"

#include "records/visible_text.h"

QString HtmlWriter::escaped(const QString& text) {
    // Names come from record files and modules: what would hide, reorder or break a line
    // shows as its escape, as in the tool's messages.
    QString out = visible_text::escaped(text).toHtmlEscaped();
    out.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
    return out;
}

QString HtmlWriter::classAttribute(const QString& cssClass) {
    return cssClass.isEmpty() ? QString() : QStringLiteral(" class=\"%1\"").arg(cssClass);
}

void HtmlWriter::heading(int level, const QString& text, const QString& cssClass) {
    add(QStringLiteral("<h%1%2>%3</h%1>\n").arg(level).arg(classAttribute(cssClass), escaped(text)));
}

void HtmlWriter::paragraph(const QString& text, const QString& cssClass) {
    add(QStringLiteral("<p%1>%2</p>\n").arg(classAttribute(cssClass), escaped(text)));
}

void HtmlWriter::table(const QStringList& headers, const QList<QStringList>& rows,
                       const QStringList& rowClasses, const QString& cssClass,
                       const QList<Caption>& captions) {
    add(QStringLiteral("<table%1>\n<thead>").arg(classAttribute(cssClass)));
    for (const Caption& c : captions)
        add(QStringLiteral("<tr><th colspan=\"%1\"%2>%3</th></tr>\n")
                .arg(headers.size())
                .arg(classAttribute(c.cssClass), escaped(c.text)));
    add(QStringLiteral("<tr>"));
    for (const QString& h : headers)
        add(QStringLiteral("<th>%1</th>").arg(escaped(h)));
    add(QStringLiteral("</tr></thead>\n<tbody>\n"));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        add(QStringLiteral("<tr%1>").arg(classAttribute(rowClasses.value(r))));
        for (const QString& c : rows.at(r))
            add(QStringLiteral("<td>%1</td>").arg(escaped(c)));
        add(QStringLiteral("</tr>\n"));
    }
    add(QStringLiteral("</tbody>\n</table>\n"));
}

void HtmlWriter::pairs(const QList<QStringList>& rows) {
    add(QStringLiteral("<table class=\"pairs\">\n<tbody>\n"));
    for (const QStringList& r : rows)
        add(QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
                      .arg(escaped(r.value(0)), escaped(r.value(1))));
    add(QStringLiteral("</tbody>\n</table>\n"));
}

void HtmlWriter::list(const QStringList& items, const QStringList& itemClasses) {
    add(QStringLiteral("<ul>\n"));
    for (qsizetype i = 0; i < items.size(); ++i)
        add(QStringLiteral("<li%1>%2</li>\n")
                      .arg(classAttribute(itemClasses.value(i)), escaped(items.at(i))));
    add(QStringLiteral("</ul>\n"));
}

namespace {
// Body text gathered before it goes to a sink: few writes, little memory.
constexpr qsizetype kPieceChars = 128 * 1024;
} // namespace

void HtmlWriter::add(const QString& text) {
    m_body += text;
    if (m_sink && m_body.size() >= kPieceChars)
        flush();
}

void HtmlWriter::flush() {
    if (!m_sink || m_body.isEmpty())
        return;
    m_sink(m_body);
    m_body.resize(0); // keeps its capacity for the next piece
}

QString HtmlWriter::head(const QString& title, const QString& styleSheet) {
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<title>%1</title>\n<style>\n%2</style>\n</head>\n<body>\n")
        .arg(escaped(title), styleSheet);
}

QString HtmlWriter::tail() {
    return QStringLiteral("</body>\n</html>\n");
}

QString HtmlWriter::document(const QString& title, const QString& styleSheet) const {
    return head(title, styleSheet) + m_body + tail();
}
