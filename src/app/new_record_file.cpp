#include "app/new_record_file.h"

#include "records/record_store.h"
#include "records/record_table.h"
#include "records/schema.h"
#include "widgets/prompt_service.h"

#include <QDir>
#include <QFileInfo>

namespace newrecordfile {

QString hint() {
    return QStringLiteral("File › New Record File… creates it");
}

bool create(const QString& file, RecordStore& records, PromptService& prompts) {
    const QString shown = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink()) {
        prompts.message(QStringLiteral("The record file was not created"),
                        QStringLiteral("%1 already exists; nothing was changed").arg(shown));
        return false;
    }
    if (!prompts.confirm(
            QStringLiteral("Create the record file %1 with its six empty tables?").arg(shown)))
        return false;
    try {
        schema::createDatabase(file);
    } catch (const RecordError& e) {
        prompts.message(QStringLiteral("The record file was not created"),
                        QString::fromStdString(e.what()));
        return false;
    }
    const QStringList failed =
        records.openAll(file, [&prompts](const QString& message, const QString& cause) {
            prompts.message(message, cause);
        });
    return failed.isEmpty();
}

} // namespace newrecordfile
