// velm-initdb: creates the record database file with its six tables and the monitor slots.

#include "records/record_table.h"
#include "records/schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

void print(FILE* out, const QString& text) {
    std::fprintf(out, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() > 1 || (args.size() == 1 && args[0].startsWith(u'-'))) {
        print(stderr, QStringLiteral("usage: velm-initdb [FILE]   (default VELM.mdb)"));
        return args.size() == 1 && (args[0] == QLatin1StringView("-h") ||
                                    args[0] == QLatin1StringView("--help"))
                   ? 0
                   : 2;
    }
    const QString file = args.isEmpty() ? QStringLiteral("VELM.mdb") : args[0];
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink()) {
        print(stderr,
              QStringLiteral("velm-initdb: %1 already exists; nothing was changed").arg(file));
        return 1;
    }
    try {
        schema::createDatabase(file);
    } catch (const RecordError& e) {
        print(stderr, QStringLiteral("velm-initdb: can not create %1: %2")
                          .arg(file, QString::fromStdString(e.what())));
        return 2;
    }
    print(stdout, QStringLiteral("velm-initdb: created %1 with %2 tables and %3 monitor slots")
                      .arg(file)
                      .arg(schema::tables().size())
                      .arg(schema::monitorSlotCount));
    return 0;
}
