#pragma once

// The words of one command, read one by one with the ranges of the window's controls.
#include "cli_options/cli_options.h"

#include <QStringList>

[[noreturn]] inline void refuse(const QString& text) {
    throw UsageError(text.toStdString());
}

// The command's words: its name, then its arguments.
class Words {
public:
    explicit Words(const QStringList& args) : m_args(args) {}

    QString name() const { return m_args.value(0); }

    // The verb at 1, one of `verbs`.
    QString verb(const QStringList& verbs) const {
        const QString said = m_args.value(1);
        const QString choices = verbs.size() == 1 ? QStringLiteral("'%1'").arg(verbs.front())
                                                  : verbs.mid(0, verbs.size() - 1).join(", ") +
                                                        QStringLiteral(" or ") + verbs.back();
        if (m_args.size() < 2)
            refuse(QStringLiteral("%1: say %2").arg(name(), choices));
        if (!verbs.contains(said))
            refuse(QStringLiteral("%1: say %2, not '%3'").arg(name(), choices, said));
        return said;
    }

    // The number at `index`, in min..max.
    int number(int index, const QString& what, int min, int max) const {
        if (index >= m_args.size())
            refuse(QStringLiteral("%1: %2 is missing").arg(name(), what));
        return numberValue(m_args.at(index), name() + QStringLiteral(": ") + what, min, max);
    }

    bool has(int index) const { return index < m_args.size(); }
    QString value(int index) const { return m_args.value(index); }
    int size() const { return int(m_args.size()); }

    // The word at `index`, which must be there.
    QString word(int index, const QString& what) const {
        if (index >= m_args.size())
            refuse(QStringLiteral("%1: %2 is missing").arg(name(), what));
        return m_args.at(index);
    }
    // The number at `index` when given, else `fallback`.
    int optionalNumber(int index, const QString& what, int min, int max, int fallback) const {
        return has(index) ? number(index, what, min, max) : fallback;
    }

    // Nothing beyond `count` words (the name included).
    void end(int count) const {
        if (m_args.size() > count)
            refuse(QStringLiteral("%1: unexpected argument '%2'").arg(name(), m_args.at(count)));
    }

    QString file() const {
        if (m_args.size() < 2)
            refuse(QStringLiteral("%1: FILE is missing").arg(name()));
        end(2);
        if (m_args.at(1).isEmpty())
            refuse(QStringLiteral("%1: FILE is empty").arg(name()));
        return m_args.at(1);
    }

    QStringList from(int index) const { return m_args.mid(index); }

private:
    const QStringList& m_args;
};
