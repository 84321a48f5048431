#pragma once

#include <QHash>
#include <QString>

// What the tool knows of the type of the module at each address: what a scan heard it
// answer, else what the open site expects there. Four hexadecimal digits ("0108"); empty
// when nothing is known.
class ModuleTypes {
public:
    // The site's modules (address to type): replaces what the previous site expected.
    void setExpected(const QHash<int, QString>& types) { m_expected = types; }
    void noteAnswered(int address, const QString& type);
    QString typeOf(int address) const;

private:
    QHash<int, QString> m_answered;
    QHash<int, QString> m_expected;
};
