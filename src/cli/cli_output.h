#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// What a command prints: rows of named values, as an aligned table or as JSON.
class CliOutput {
public:
    explicit CliOutput(bool json) : m_json(json) {}
    bool json() const { return m_json; }

    // A table with these column keys (JSON names) and titles.
    void setColumns(const QStringList& keys, const QStringList& titles);
    void addRow(const QList<QJsonValue>& values);
    // Prints the rows as a table, or a JSON array of objects.
    void printRows() const;
    // One JSON object, or its values on one line.
    static void printObject(bool json, const QStringList& keys, const QList<QJsonValue>& values);
    // A line on standard error, "velm-cli: ..." for messages.
    static void error(const QString& text);
    // One line on standard output at once (a step of a walk test or a replacement).
    static void line(const QString& text);
    // Whether anything written to standard output was lost (a closed pipe, a full disk).
    static bool standardOutputLost();
    // Throws CliFailure when it was: the caller's result never reached its reader.
    static void checkStandardOutput();
    // Progress "i/N" on standard error, only when it is a terminal.
    static void progress(const QString& what, int done, int total);

private:
    bool m_json;
    QStringList m_keys;
    QStringList m_titles;
    QList<QList<QJsonValue>> m_rows;
};
