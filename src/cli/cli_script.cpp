// Scripts of commands (`run FILE`): every line checked before the first request goes out,
// then run one after the other over one link until the first that fails.
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "cli_options/cli_options.h"
#include "records/visible_text.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

// The options that belong to the whole script, given once with `run`.
const QStringList kScriptOptions{"--udp",        "--serial", "--baud",
                                 "--local-port", "--subnet", "--password",
                                 "--db",         "--help",   "-h",
                                 "--site-dir"};

// The line as the script has it, escaped: a script is a file like any other.
QString lineLabel(int number, const QString& text) {
    return QStringLiteral("line %1 (%2)").arg(number).arg(visible_text::escaped(text.trimmed()));
}

QString readScript(const QString& file) {
    QFile f;
    const bool opened = file == QLatin1String("-")
                            ? f.open(stdin, QIODevice::ReadOnly)
                            : (f.setFileName(file), f.open(QIODevice::ReadOnly));
    if (!opened)
        throw CliFailure(QStringLiteral("cannot read the script %1: %2")
                             .arg(file, f.errorString())
                             .toStdString());
    return QString::fromUtf8(f.readAll());
}

} // namespace

QStringList splitWords(const QString& line, bool* ok) {
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    *ok = true;
    for (const QChar c : line) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == QLatin1Char('#') && !inWord) {
            break; // a comment to the end of the line
        } else {
            word += c;
            inWord = true;
        }
    }
    if (!quote.isNull())
        *ok = false;
    if (inWord)
        words << word;
    return words;
}

QList<ScriptLine> parseScript(const QString& text, const CliOptions& scriptOptions) {
    QList<ScriptLine> lines;
    // Every bad line is named at once, so that one round of corrections makes the script run.
    QStringList refusals;
    const QStringList all = text.split(QLatin1Char('\n'));
    for (int i = 0; i < all.size(); ++i) {
        const QString& raw = all.at(i);
        const QString label = lineLabel(i + 1, raw);
        struct Refused {};
        auto refuse = [&label, &refusals](const QString& why) {
            refusals << label + QStringLiteral(": ") + why;
            throw Refused{};
        };
        try {
            bool ok = true;
            const QStringList words = splitWords(raw, &ok);
            if (!ok)
                refuse(QStringLiteral("a quote is not closed"));
            if (words.isEmpty())
                continue;
            for (const QString& w : words)
                if (kScriptOptions.contains(w.section(QLatin1Char('='), 0, 0)))
                    refuse(QStringLiteral("%1 belongs to the whole script: give it with run")
                               .arg(w.section(QLatin1Char('='), 0, 0)));
            CliOptions options;
            try {
                options = parseOptions(scriptOptions.optionArgs + words);
            } catch (const UsageError& e) {
                refuse(QString::fromStdString(e.what()));
            }
            if (options.command() == QLatin1String("run"))
                refuse(QStringLiteral("a script cannot run another script"));
            lines.append({i + 1, raw.trimmed(), options});
        } catch (const Refused&) {
        }
    }
    if (!refusals.isEmpty())
        throw UsageError(refusals.join(QLatin1Char('\n')).toStdString());
    return lines;
}

namespace cli {

int runScript(const CliOptions& options) {
    QList<ScriptLine> lines;
    try {
        lines = parseScript(readScript(options.given.file), options);
    } catch (const UsageError& e) {
        for (const QString& refusal : QString::fromStdString(e.what()).split(QLatin1Char('\n')))
            CliOutput::error(refusal);
        return 2;
    }
    std::unique_ptr<CliLink> link;
    for (const ScriptLine& line : lines) {
        try {
            runLine(line.options, link);
        } catch (const UsageError& e) {
            CliOutput::error(lineLabel(line.number, line.text) + QStringLiteral(": ") +
                             QString::fromStdString(e.what()));
            return 2;
        } catch (const CliPartial& e) {
            CliOutput::error(lineLabel(line.number, line.text) + QStringLiteral(": ") +
                             QString::fromStdString(e.what()));
            return 3;
        } catch (const std::exception& e) {
            CliOutput::error(lineLabel(line.number, line.text) + QStringLiteral(": ") +
                             QString::fromStdString(e.what()));
            return 1;
        }
    }
    return 0;
}

} // namespace cli
