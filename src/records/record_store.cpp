#include "records/record_store.h"

#include "records/schema.h"

RecordStore::RecordStore() {
    for (int t = 0; t < Count; ++t)
        m_tables[size_t(t)] = std::make_unique<RecordTable>(tableName(Table(t)));
}

QStringList RecordStore::openAll(const QString& databaseFile, const Report& report) {
    QStringList messages;
    for (int t = 0; t < Count; ++t) {
        RecordTable& table = *m_tables[size_t(t)];
        table.close();
        try {
            table.open(databaseFile);
        } catch (const RecordError& e) {
            table.close();
            messages << missingMessage(Table(t));
            if (report)
                report(messages.last(), QString::fromStdString(e.what()));
        }
    }
    return messages;
}

QString RecordStore::tableName(Table t) {
    const auto& all = schema::tables();
    return t >= 0 && t < Count ? all[t].name : QString();
}

QString RecordStore::missingMessage(Table t) {
    static const char* const names[Count] = {"Scene", "IR",   "Timer",
                                             "Event", "Bind", "Monitor Bind"};
    return t >= 0 && t < Count
               ? QStringLiteral("Can not find %1 Records database").arg(QLatin1StringView(names[t]))
               : QString();
}
