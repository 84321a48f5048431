#include "cli/cli_output.h"

#include "cli_options/cli_options.h"
#include "platform/terminal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace {
QString cellText(const QJsonValue& v) {
    if (v.isDouble())
        return QString::number(v.toInteger());
    if (v.isBool())
        return v.toBool() ? QStringLiteral("on") : QStringLiteral("off");
    if (v.isNull())
        return QStringLiteral("-");
    return v.toString();
}

void out(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QJsonObject objectOf(const QStringList& keys, const QList<QJsonValue>& values) {
    QJsonObject o;
    for (int i = 0; i < keys.size() && i < values.size(); ++i)
        o.insert(keys.at(i), values.at(i));
    return o;
}
} // namespace

void CliOutput::setColumns(const QStringList& keys, const QStringList& titles) {
    m_keys = keys;
    m_titles = titles;
}

void CliOutput::addRow(const QList<QJsonValue>& values) {
    m_rows << values;
}

void CliOutput::printRows() const {
    if (m_json) {
        QJsonArray array;
        for (const auto& row : m_rows)
            array.append(objectOf(m_keys, row));
        out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)) + '\n');
        return;
    }
    QList<int> widths;
    for (const QString& t : m_titles)
        widths << int(t.size());
    for (const auto& row : m_rows)
        for (int c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], int(cellText(row[c]).size()));
    auto line = [&](const QStringList& cells) {
        QString text;
        for (int c = 0; c < cells.size(); ++c)
            text += c + 1 < cells.size() ? cells[c].leftJustified(widths[c] + 2) : cells[c];
        out(text + '\n');
    };
    line(m_titles);
    for (const auto& row : m_rows) {
        QStringList cells;
        for (const QJsonValue& v : row)
            cells << cellText(v);
        line(cells);
    }
}

void CliOutput::printObject(bool json, const QStringList& keys, const QList<QJsonValue>& values) {
    if (json) {
        out(QString::fromUtf8(
                QJsonDocument(objectOf(keys, values)).toJson(QJsonDocument::Compact)) +
            '\n');
        return;
    }
    QStringList cells;
    for (int i = 0; i < keys.size() && i < values.size(); ++i) {
        if (values[i].isArray()) {
            QStringList items;
            for (const QJsonValue& v : values[i].toArray())
                items << cellText(v);
            cells << QStringLiteral("%1: %2").arg(keys[i], items.join(' '));
        } else {
            cells << QStringLiteral("%1: %2").arg(keys[i], cellText(values[i]));
        }
    }
    out(cells.join(QStringLiteral("  ")) + '\n');
}

void CliOutput::error(const QString& text) {
    const QByteArray bytes = (QStringLiteral("velm-cli: ") + text + '\n').toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
}

void CliOutput::progress(const QString& what, int done, int total) {
    if (!terminal::errorOutputIsTerminal())
        return;
    std::fprintf(stderr, "\r%s %d/%d%s", qPrintable(what), done, total, done >= total ? "\n" : "");
    std::fflush(stderr);
}

void CliOutput::line(const QString& text) {
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

bool CliOutput::standardOutputLost() {
    return std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
}

void CliOutput::checkStandardOutput() {
    if (standardOutputLost())
        throw CliFailure("standard output could not be written (a closed pipe or a full disk): "
                         "the output is lost");
}
