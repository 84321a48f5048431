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
    m_body +=
        QStringLiteral("<h%1%2>%3</h%1>\n").arg(level).arg(classAttribute(cssClass), escaped(text));
}

void HtmlWriter::paragraph(const QString& text, const QString& cssClass) {
    m_body += QStringLiteral("<p%1>%2</p>\n").arg(classAttribute(cssClass), escaped(text));
}

void HtmlWriter::table(const QStringList& headers, const QList<QStringList>& rows,
                       const QStringList& rowClasses, const QString& cssClass) {
    m_body += QStringLiteral("<table%1>\n<thead><tr>").arg(classAttribute(cssClass));
    for (const QString& h : headers)
        m_body += QStringLiteral("<th>%1</th>").arg(escaped(h));
    m_body += QStringLiteral("</tr></thead>\n<tbody>\n");
    for (qsizetype r = 0; r < rows.size(); ++r) {
        m_body += QStringLiteral("<tr%1>").arg(classAttribute(rowClasses.value(r)));
        for (const QString& c : rows.at(r))
            m_body += QStringLiteral("<td>%1</td>").arg(escaped(c));
        m_body += QStringLiteral("</tr>\n");
    }
    m_body += QStringLiteral("</tbody>\n</table>\n");
}

void HtmlWriter::pairs(const QList<QStringList>& rows) {
    m_body += QStringLiteral("<table class=\"pairs\">\n<tbody>\n");
    for (const QStringList& r : rows)
        m_body += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
                      .arg(escaped(r.value(0)), escaped(r.value(1)));
    m_body += QStringLiteral("</tbody>\n</table>\n");
}

void HtmlWriter::list(const QStringList& items, const QStringList& itemClasses) {
    m_body += QStringLiteral("<ul>\n");
    for (qsizetype i = 0; i < items.size(); ++i)
        m_body += QStringLiteral("<li%1>%2</li>\n")
                      .arg(classAttribute(itemClasses.value(i)), escaped(items.at(i)));
    m_body += QStringLiteral("</ul>\n");
}

QString HtmlWriter::document(const QString& title, const QString& styleSheet) const {
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<title>%1</title>\n<style>\n%2</style>\n</head>\n<body>\n%3</body>\n"
                          "</html>\n")
        .arg(escaped(title), styleSheet, m_body);
}
