#pragma once

#include <QString>
#include <QStringList>

// A small writer of an HTML document that escapes every text it is given: markup in a
// record ("<b>x</b>", quotes, ampersands) shows as those characters and never as markup.
class HtmlWriter {
public:
    // Text, escaped.
    static QString escaped(const QString& text);

    void heading(int level, const QString& text, const QString& cssClass = {});
    void paragraph(const QString& text, const QString& cssClass = {});
    // A table with a header row; `rowClasses` marks rows (an unfit record), may be shorter.
    void table(const QStringList& headers, const QList<QStringList>& rows,
               const QStringList& rowClasses = {}, const QString& cssClass = {});
    // Label and value pairs, one row each.
    void pairs(const QList<QStringList>& rows);
    void list(const QStringList& items, const QStringList& itemClasses = {});

    // The whole document: a head with the title and the style sheet, then the body written.
    QString document(const QString& title, const QString& styleSheet) const;

private:
    static QString classAttribute(const QString& cssClass);
    QString m_body;
};
