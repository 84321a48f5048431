#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// A small writer of an HTML document that escapes every text it is given: markup in a
// record ("<b>x</b>", quotes, ampersands) shows as those characters and never as markup.
class HtmlWriter {
public:
    using Sink = std::function<void(const QString&)>;

    // Keeps the body for document().
    HtmlWriter() = default;
    // Hands the body to `sink` in pieces as it grows, so that a report of a large record file
    // never holds its whole text; flush() hands over the rest.
    explicit HtmlWriter(Sink sink) : m_sink(std::move(sink)) {}

    // Text, escaped.
    static QString escaped(const QString& text);

    void heading(int level, const QString& text, const QString& cssClass = {});
    void paragraph(const QString& text, const QString& cssClass = {});
    // A line across a table's head above its column names, with its class.
    struct Caption {
        QString text;
        QString cssClass;
    };
    // A table with a header row; `rowClasses` marks rows (an unfit record), may be shorter.
    // `captions` go in the head too, so a table that a page break cuts keeps its heading on
    // the next page.
    void table(const QStringList& headers, const QList<QStringList>& rows,
               const QStringList& rowClasses = {}, const QString& cssClass = {},
               const QList<Caption>& captions = {});
    // Label and value pairs, one row each.
    void pairs(const QList<QStringList>& rows);
    void list(const QStringList& items, const QStringList& itemClasses = {});

    void flush();

    // The whole document: head(), the body written, tail().
    QString document(const QString& title, const QString& styleSheet) const;
    // What stands before the body: the title and the style sheet; and what ends it.
    static QString head(const QString& title, const QString& styleSheet);
    static QString tail();

private:
    static QString classAttribute(const QString& cssClass);
    void add(const QString& text);
    QString m_body;
    Sink m_sink;
};
