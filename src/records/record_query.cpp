#include "records/record_query.h"

#include "records/record_table.h"

#include <QStringList>

namespace record_query {

namespace {

const QueryColumn& findColumn(const QString& name, const QList<QueryColumn>& columns,
                              const QString& expression) {
    for (const QueryColumn& c : columns) {
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    throw RecordError(QStringLiteral("Unknown column '%1' in '%2'").arg(name, expression));
}

// Splits a filter into words: names, operators, quoted values and bare values.
class FilterLexer {
public:
    explicit FilterLexer(const QString& text) : m_text(text) {}

    bool atEnd() {
        skipSpace();
        return m_pos >= m_text.size();
    }

    QString name() {
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == u'[') {
            const qsizetype close = m_text.indexOf(u']', m_pos);
            if (close < 0)
                throw RecordError(QStringLiteral("Unclosed '[' in '%1'").arg(m_text));
            const QString n = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            return n;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'_'))
            ++m_pos;
        if (m_pos == start)
            throw RecordError(QStringLiteral("Column name expected at position %1 in '%2'")
                                  .arg(start + 1)
                                  .arg(m_text));
        return m_text.mid(start, m_pos - start);
    }

    // One of = <> != < > <= >= or the word LIKE; returned in SQL spelling.
    QString op() {
        skipSpace();
        static const char* const symbols[] = {"<>", "!=", "<=", ">=", "=", "<", ">"};
        for (const char* s : symbols) {
            const QLatin1StringView sym(s);
            if (QStringView(m_text).mid(m_pos).startsWith(sym)) {
                m_pos += sym.size();
                return sym == QLatin1StringView("!=") ? QStringLiteral("<>") : QString(sym);
            }
        }
        const qsizetype save = m_pos;
        const QString word = bareWord();
        if (word.compare(QLatin1StringView("like"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("LIKE");
        throw RecordError(
            QStringLiteral("Comparison expected at position %1 in '%2'").arg(save + 1).arg(m_text));
    }

    QString value() {
        skipSpace();
        if (m_pos >= m_text.size())
            throw RecordError(QStringLiteral("Value expected at the end of '%1'").arg(m_text));
        const QChar quote = m_text[m_pos];
        if (quote == u'\'' || quote == u'"' || quote == u'#') {
            QString v;
            for (++m_pos; m_pos < m_text.size(); ++m_pos) {
                if (m_text[m_pos] == quote) {
                    // A doubled quote stands for itself inside the value.
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == quote) {
                        v += quote;
                        ++m_pos;
                        continue;
                    }
                    ++m_pos;
                    return v;
                }
                v += m_text[m_pos];
            }
            throw RecordError(QStringLiteral("Unclosed quote in '%1'").arg(m_text));
        }
        const QString v = bareWord();
        if (v.isEmpty())
            throw RecordError(
                QStringLiteral("Value expected at position %1 in '%2'").arg(m_pos + 1).arg(m_text));
        return v;
    }

    QString connector() {
        const qsizetype save = m_pos;
        const QString word = bareWord().toUpper();
        if (word == QLatin1StringView("AND") || word == QLatin1StringView("OR"))
            return word;
        throw RecordError(
            QStringLiteral("AND or OR expected at position %1 in '%2'").arg(save + 1).arg(m_text));
    }

private:
    void skipSpace() {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    QString bareWord() {
        skipSpace();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && !m_text[m_pos].isSpace())
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    QString m_text;
    qsizetype m_pos = 0;
};

// '*' and '%' match any text; everything else, '_' included, matches itself.
QString likePattern(const QString& value) {
    QString out;
    for (const QChar c : value) {
        if (c == u'*' || c == u'%')
            out += u'%';
        else if (c == u'_' || c == u'\\')
            out += u'\\' + QString(c);
        else
            out += c;
    }
    return out;
}

} // namespace

QString quoteIdentifier(const QString& name) {
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QList<SortKey> sortKeys(const QString& expression, const QList<QueryColumn>& columns) {
    QList<SortKey> keys;
    for (const QString& item : expression.split(u',')) {
        const QStringList words = item.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty()) {
            if (expression.trimmed().isEmpty())
                continue;
            throw RecordError(QStringLiteral("Empty sort item in '%1'").arg(expression));
        }
        if (words.size() > 2)
            throw RecordError(
                QStringLiteral("Bad sort item '%1' in '%2'").arg(item.trimmed(), expression));
        QString direction = QStringLiteral("ASC");
        if (words.size() == 2) {
            direction = words[1].toUpper();
            if (direction != QLatin1StringView("ASC") && direction != QLatin1StringView("DESC"))
                throw RecordError(
                    QStringLiteral("Sort direction must be ASC or DESC in '%1'").arg(expression));
        }
        const QueryColumn& c = findColumn(words[0], columns, expression);
        keys << SortKey{int(&c - columns.data()), direction == QLatin1StringView("DESC")};
    }
    return keys;
}

QString orderBy(const QString& expression, const QList<QueryColumn>& columns) {
    QStringList parts;
    for (const SortKey& k : sortKeys(expression, columns))
        parts << quoteIdentifier(columns[k.column].name) +
                     (k.descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    return parts.join(u',');
}

SqlClause where(const QString& expression, const QList<QueryColumn>& columns) {
    SqlClause clause;
    FilterLexer lex(expression);
    bool first = true;
    while (!lex.atEnd()) {
        if (!first)
            clause.sql += u' ' + lex.connector() + u' ';
        first = false;
        const QueryColumn& c = findColumn(lex.name(), columns, expression);
        const QString op = lex.op();
        const QString value = lex.value();
        const QString column = quoteIdentifier(c.name);
        if (op == QLatin1StringView("LIKE")) {
            clause.sql += column + QStringLiteral(" LIKE CAST(? AS TEXT) ESCAPE '\\'");
            clause.values << likePattern(value);
        } else if (c.integer) {
            bool ok = false;
            const qlonglong number = value.trimmed().toLongLong(&ok);
            if (!ok)
                throw RecordError(
                    QStringLiteral("'%1' is not a number for column %2").arg(value, c.name));
            clause.sql += column + u' ' + op + QStringLiteral(" ?");
            clause.values << number;
        } else {
            clause.sql += column + u' ' + op + QStringLiteral(" CAST(? AS TEXT)");
            clause.values << value;
        }
    }
    return clause;
}

} // namespace record_query
