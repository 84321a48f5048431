#include "records/access_record_file.h"

#include "records/database_file.h"
#include "records/record_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

// libmdb's header needs GLib's types first (the Windows build brings its own small stand-in
// through the header itself).
#if __has_include(<glib.h>)
#include <glib.h>
#endif
extern "C" {
#include <mdbtools.h>
}

namespace {

constexpr int kMemoHeader = 12;
// A memo chained over more LVAL rows than this is damaged (a loop), not long.
constexpr int kLongestMemoChain = 100000;

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableDefFree {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

AccessRecordFile::Kind kindOf(int jetType) {
    switch (jetType) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return AccessRecordFile::Kind::Whole;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return AccessRecordFile::Kind::Fraction;
    case MDB_MONEY:
        return AccessRecordFile::Kind::Currency;
    case MDB_TEXT:
        return AccessRecordFile::Kind::Text;
    case MDB_MEMO:
        return AccessRecordFile::Kind::Memo;
    default:
        return AccessRecordFile::Kind::Other;
    }
}

// The type as Access shows it in a table's design.
QString typeNameOf(int jetType) {
    switch (jetType) {
    case MDB_BOOL:
        return QStringLiteral("Yes/No");
    case MDB_BYTE:
        return QStringLiteral("Byte");
    case MDB_INT:
        return QStringLiteral("Integer");
    case MDB_LONGINT:
        return QStringLiteral("Long Integer");
    case MDB_MONEY:
        return QStringLiteral("Currency");
    case MDB_FLOAT:
        return QStringLiteral("Single");
    case MDB_DOUBLE:
        return QStringLiteral("Double");
    case MDB_DATETIME:
        return QStringLiteral("Date/Time");
    case MDB_BINARY:
        return QStringLiteral("Binary");
    case MDB_TEXT:
        return QStringLiteral("Text");
    case MDB_OLE:
        return QStringLiteral("OLE Object");
    case MDB_MEMO:
        return QStringLiteral("Memo");
    case MDB_REPID:
        return QStringLiteral("Replication ID");
    case MDB_NUMERIC:
        return QStringLiteral("Decimal");
    default:
        return QStringLiteral("type %1").arg(jetType);
    }
}

qint64 signedLittle(const unsigned char* p, int size) {
    switch (size) {
    case 1:
        return p[0];
    case 2:
        return qFromLittleEndian<qint16>(p);
    case 4:
        return qFromLittleEndian<qint32>(p);
    default:
        return qFromLittleEndian<qint64>(p);
    }
}

// A memo's text: in the row after its header, or in one or a chain of LVAL rows.
QByteArray memoBytes(MdbHandle* mdb, const unsigned char* field, int size, const QString& where) {
    if (size < kMemoHeader)
        throw RecordError(QStringLiteral("%1: a damaged memo").arg(where));
    const quint32 head = qFromLittleEndian<quint32>(field);
    const qsizetype length = qsizetype(head & 0x3fffffff);
    if (head & 0x80000000)
        return QByteArray(reinterpret_cast<const char*>(field + kMemoHeader), size - kMemoHeader)
            .left(length);
    qint32 pageRow = qFromLittleEndian<qint32>(field + 4);
    QByteArray out;
    const bool single = head & 0x40000000;
    for (int hop = 0; pageRow != 0 && out.size() < length; ++hop) {
        void* buffer = nullptr;
        int offset = 0;
        size_t rowLength = 0;
        if (hop > kLongestMemoChain || mdb_find_pg_row(mdb, pageRow, &buffer, &offset, &rowLength))
            throw RecordError(QStringLiteral("%1: a damaged memo").arg(where));
        const char* row = static_cast<const char*>(buffer) + offset;
        if (single) {
            out.append(row, qsizetype(rowLength));
            break;
        }
        if (rowLength < 4)
            throw RecordError(QStringLiteral("%1: a damaged memo").arg(where));
        pageRow = qFromLittleEndian<qint32>(row);
        out.append(row + 4, qsizetype(rowLength - 4));
    }
    return out.left(length);
}

QVariant valueOf(MdbHandle* mdb, const MdbColumn* col, const MdbField& field,
                 const QString& where) {
    if (field.is_null || !field.value)
        return QVariant();
    const auto* bytes = static_cast<const unsigned char*>(field.value);
    const int size = field.siz;
    switch (col->col_type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        if (size != (col->col_type == MDB_BYTE ? 1 : col->col_type == MDB_INT ? 2 : 4))
            break;
        return signedLittle(bytes, size);
    case MDB_MONEY: {
        if (size != 8)
            break;
        const qint64 units = signedLittle(bytes, 8);
        if (units % 10000 == 0)
            return units / 10000;
        return double(units) / 10000.0;
    }
    case MDB_FLOAT:
        if (size != 4)
            break;
        return double(qFromLittleEndian<float>(bytes));
    case MDB_DOUBLE:
        if (size != 8)
            break;
        return qFromLittleEndian<double>(bytes);
    case MDB_TEXT:
        return AccessRecordFile::decodeText(QByteArray(reinterpret_cast<const char*>(bytes), size));
    case MDB_MEMO:
        return AccessRecordFile::decodeText(memoBytes(mdb, bytes, size, where));
    default:
        return QVariant();
    }
    throw RecordError(QStringLiteral("%1: a damaged value").arg(where));
}

AccessRecordFile::Table readTable(MdbCatalogEntry* entry) {
    const std::unique_ptr<MdbTableDef, TableDefFree> def(mdb_read_table(entry));
    AccessRecordFile::Table table;
    table.name = QString::fromUtf8(entry->object_name);
    if (!def || !mdb_read_columns(def.get()))
        throw RecordError(QStringLiteral("the table \"%1\" can not be read").arg(table.name));
    MdbHandle* mdb = entry->mdb;
    const int columns = int(def->num_cols);
    for (int c = 0; c < columns; ++c) {
        const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(def->columns, c));
        table.columns.append({QString::fromUtf8(col->name), kindOf(col->col_type),
                              typeNameOf(col->col_type), col->is_long_auto != 0});
    }
    std::vector<MdbField> fields(std::max(columns, 1));
    mdb_rewind_table(def.get());
    while (mdb_fetch_row(def.get())) {
        // The row just fetched is on the page in the handle's buffer; crack it again ourselves
        // for the raw bytes and the null mask, which the bound strings lose.
        int start = 0;
        size_t size = 0;
        const QString where =
            QStringLiteral("%1 row %2").arg(table.name).arg(table.rows.size() + 1);
        if (mdb_find_row(mdb, int(def->cur_row) - 1, &start, &size) != 0 ||
            mdb_crack_row(def.get(), start & 0x1fff, size, fields.data()) < 0)
            throw RecordError(QStringLiteral("%1: a damaged row").arg(where));
        QVariantList values(columns);
        for (int c = 0; c < columns; ++c) {
            const MdbField& f = fields[size_t(c)];
            const auto* col =
                static_cast<const MdbColumn*>(g_ptr_array_index(def->columns, f.colnum));
            values[f.colnum] = valueOf(mdb, col, f, where);
        }
        table.rows.append(values);
    }
    return table;
}

} // namespace

AccessRecordFile::Format AccessRecordFile::formatOf(const QString& path) {
    // Read through SQLite's file layer: the path may be a record file this program has open,
    // whose locks a plain open and close would drop.
    if (!QFileInfo(path).isFile())
        return Format::NotAccess;
    return formatOfHeader(database_file::readBytes(path, 0x15, nullptr));
}

AccessRecordFile::Format AccessRecordFile::formatOfHeader(const QByteArray& head) {
    if (head.size() < 0x15 || !head.startsWith(QByteArray("\x00\x01\x00\x00", 4)))
        return Format::NotAccess;
    const QByteArray signature = head.mid(4, 15);
    if (signature == "Standard ACE DB")
        return Format::Accdb;
    if (signature != "Standard Jet DB")
        return Format::NotAccess;
    switch (head.at(0x14)) {
    case 0:
        return Format::Jet3;
    case 1:
        return Format::Jet4;
    default:
        return Format::Accdb;
    }
}

QString AccessRecordFile::whatItIs(const QString& shownPath, Format format) {
    const QString what = QStringLiteral("%1 is a record file in the Access format").arg(shownPath);
    if (format != Format::Jet4)
        return what + QStringLiteral(" (%1), which this tool does not read")
                          .arg(format == Format::Jet3 ? QStringLiteral("Access 97, Jet 3")
                                                      : QStringLiteral("Access 2007 or later"));
    return what + QStringLiteral(": convert it with velm-cli convert or File › Convert Access "
                                 "Record File…");
}

QString AccessRecordFile::lockFileOf(const QString& path) {
    const QFileInfo info(path);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".ldb"));
}

AccessRecordFile AccessRecordFile::read(const QString& path) {
    const QString shown = database_file::shown(path);
    switch (formatOf(path)) {
    case Format::NotAccess: {
        const QString problem = database_file::readProblem(path);
        throw RecordError(
            problem.contains(QStringLiteral("not an SQLite file")) || problem.isEmpty()
                ? QStringLiteral("%1 is not a record file in the Access format").arg(shown)
                : problem);
    }
    case Format::Jet3:
        throw RecordError(QStringLiteral("%1 is an Access 97 (Jet 3) file: only Access 2000 to "
                                         "2003 files (Jet 4) are read; save it in Access as an "
                                         "Access 2000 file first")
                              .arg(shown));
    case Format::Accdb:
        throw RecordError(QStringLiteral("%1 is an Access 2007 or later (.accdb) file: only "
                                         "Access 2000 to 2003 files (Jet 4, .mdb) are read; save "
                                         "it in Access as an Access 2000 .mdb file first")
                              .arg(shown));
    case Format::Jet4:
        break;
    }
    const QString lock = lockFileOf(path);
    if (QFileInfo::exists(lock))
        throw RecordError(QStringLiteral("%1 is held open by another program (its lock file %2 is "
                                         "beside it): close Access first, or remove %2 if no "
                                         "program has the file open")
                              .arg(shown, database_file::shown(lock)));
    const std::unique_ptr<MdbHandle, HandleCloser> mdb(
        mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    if (!mdb)
        throw RecordError(QStringLiteral("%1 can not be read as an Access file").arg(shown));
    AccessRecordFile file;
    GPtrArray* catalog = mdb_read_catalog(mdb.get(), MDB_TABLE);
    if (!catalog)
        throw RecordError(QStringLiteral("%1: the list of tables can not be read").arg(shown));
    try {
        for (guint i = 0; i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (mdb_is_user_table(entry))
                file.m_tables.append(readTable(entry));
        }
    } catch (const RecordError& e) {
        throw RecordError(QStringLiteral("%1: %2").arg(shown, QString::fromStdString(e.what())));
    }
    return file;
}

QString AccessRecordFile::decodeText(const QByteArray& stored) {
    if (!stored.startsWith("\xFF\xFE"))
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(stored.constData()),
                                  stored.size() / 2);
    QString out;
    out.reserve(stored.size());
    bool oneByte = true;
    for (qsizetype i = 2; i < stored.size();) {
        const auto b = static_cast<unsigned char>(stored.at(i));
        if (b == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            out += QChar(b);
            ++i;
        } else {
            if (i + 1 >= stored.size())
                break;
            out += QChar(char16_t(b | (static_cast<unsigned char>(stored.at(i + 1)) << 8)));
            i += 2;
        }
    }
    return out;
}
