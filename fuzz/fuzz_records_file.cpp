// Every records exchange file an import opens goes through RecordsFile::parse: any bytes at
// all, from a technician's editor or a damaged copy. Besides not crashing, two promises hold:
// a list or object the strict reader takes is one that Qt's reader takes as well (Qt takes
// nothing else at the top), and a file that is taken holds nothing outside what its columns
// may hold.
#include "records/record_table.h"
#include "records/records_file.h"
#include "records/records_values.h"
#include "records/strict_json.h"

#include <QJsonDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray top =
        bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3).trimmed() : bytes.trimmed();
    if (!strict_json::check(bytes) && (top.startsWith('{') || top.startsWith('['))) {
        QJsonParseError error;
        QJsonDocument::fromJson(bytes, &error);
        if (error.error != QJsonParseError::NoError)
            std::abort();
    }
    try {
        const RecordsFile file = RecordsFile::parse(bytes);
        for (const records_format::TableRows& t : file.tables())
            for (const QVariantList& row : file.rows(t))
                for (int c = 0; c < row.size(); ++c)
                    if (!records_values::problem(t.table->name, t.table->columns[c].name, row[c])
                             .isEmpty())
                        std::abort();
    } catch (const RecordError&) {
        // refused with a message: what an import shows
    }
    return 0;
}
