#include "support/jet4_writer.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr int kPageSize = 4096;
constexpr int kDataHeader = 14;   // page type, free space, owner, row count
constexpr int kMapBytes = 64;     // the bitmap of a type 0 usage map: 512 pages
constexpr int kColumnEntry = 25;  // one column in a table definition
constexpr int kColumnsStart = 63; // where a table definition's columns start
constexpr int kMemoHeader = 12;
constexpr int kOle = 0x0B;             // the catalog's property column, always null here
constexpr quint32 kNoKey = 0x4ebc8afb; // a database key of 0: the pages are not encrypted
constexpr int kSortGeneral = 0x409;

using Type = Jet4Writer::Type;

[[noreturn]] void refuse(const QString& why) {
    throw std::runtime_error(why.toStdString());
}

void put16(QByteArray& b, int at, int v) {
    qToLittleEndian<quint16>(quint16(v), b.data() + at);
}
void put32(QByteArray& b, int at, qint64 v) {
    qToLittleEndian<quint32>(quint32(v), b.data() + at);
}
QByteArray le16(int v) {
    QByteArray b(2, '\0');
    put16(b, 0, v);
    return b;
}

// Bytes a fixed column takes in a row; -1 for a variable one. A Boolean lives in the null mask.
int fixedSize(int type) {
    switch (Type(type)) {
    case Type::Boolean:
        return 0;
    case Type::Byte:
        return 1;
    case Type::Integer:
        return 2;
    case Type::Long:
    case Type::Single:
        return 4;
    case Type::Currency:
    case Type::Double:
    case Type::DateTime:
        return 8;
    default:
        return -1;
    }
}

QByteArray utf16(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// Where each column sits in a row: its offset in the fixed part or its place among the
// variable ones.
struct RowLayout {
    QList<int> place;
    int fixedBytes = 0;
    int variable = 0;
};

RowLayout layoutOf(const QList<int>& types) {
    RowLayout l;
    for (int t : types) {
        const int size = fixedSize(t);
        l.place << (size >= 0 ? l.fixedBytes : l.variable++);
        l.fixedBytes += std::max(size, 0);
    }
    return l;
}

QByteArray fixedValue(Type type, const QVariant& v) {
    QByteArray b(fixedSize(int(type)), '\0');
    switch (type) {
    case Type::Byte:
        b[0] = char(v.toInt());
        break;
    case Type::Integer:
        put16(b, 0, v.toInt());
        break;
    case Type::Long:
        put32(b, 0, v.toLongLong());
        break;
    case Type::Single:
        qToLittleEndian<float>(v.toFloat(), b.data());
        break;
    case Type::Double:
    case Type::DateTime:
        qToLittleEndian<double>(v.toDouble(), b.data());
        break;
    case Type::Currency:
        qToLittleEndian<qint64>(qint64(std::llround(v.toDouble() * 10000.0)), b.data());
        break;
    default:
        break;
    }
    return b;
}

QByteArray variableValue(int type, const QVariant& v) {
    const QByteArray text = Jet4Writer::storedText(v.toString());
    if (Type(type) != Type::Memo)
        return text;
    // Inline memo: the length with the "in this row" flag, no long-value page.
    QByteArray memo(kMemoHeader, '\0');
    put32(memo, 0, qint64(text.size()) | 0x80000000LL);
    return memo + text;
}

// One row: column count, fixed part, variable part, end of data, offsets of the variable
// columns last to first, their count, null mask (1: a value).
QByteArray encodeRow(const QList<int>& types, const QVariantList& values) {
    const RowLayout layout = layoutOf(types);
    const int columns = int(types.size());
    QByteArray fixed(layout.fixedBytes, '\0');
    QByteArray variable;
    QList<int> offsets(layout.variable, 0);
    QByteArray mask((columns + 7) / 8, '\0');
    for (int c = 0; c < columns; ++c) {
        const QVariant v = values.value(c);
        const bool present = Type(types[c]) == Type::Boolean ? v.toBool() : !v.isNull();
        if (present)
            mask[c / 8] = char(mask[c / 8] | (1 << (c % 8)));
        if (fixedSize(types[c]) < 0) {
            offsets[layout.place[c]] = 2 + layout.fixedBytes + int(variable.size());
            if (present)
                variable += variableValue(types[c], v);
        } else if (present && fixedSize(types[c]) > 0) {
            fixed.replace(layout.place[c], fixedSize(types[c]), fixedValue(Type(types[c]), v));
        }
    }
    QByteArray row = le16(columns) + fixed;
    if (layout.variable > 0) {
        row += variable + le16(2 + layout.fixedBytes + int(variable.size()));
        for (int i = layout.variable - 1; i >= 0; --i)
            row += le16(offsets[i]);
        row += le16(layout.variable);
    }
    return row + mask;
}

// A data page owned by `owner`: rows stored from the end of the page towards its header.
QByteArray dataPage(int owner, const QList<QByteArray>& rows) {
    QByteArray page(kPageSize, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page, 4, owner);
    put16(page, 12, int(rows.size()));
    int end = kPageSize;
    for (int r = 0; r < rows.size(); ++r) {
        end -= int(rows[r].size());
        page.replace(end, rows[r].size(), rows[r]);
        put16(page, kDataHeader + 2 * r, end);
    }
    put16(page, 2, end - kDataHeader - 2 * int(rows.size()));
    return page;
}

// Rows grouped into as few pages as they fit in, in order.
QList<QList<QByteArray>> packed(const QList<QByteArray>& rows) {
    QList<QList<QByteArray>> pages;
    int free = 0;
    for (const QByteArray& row : rows) {
        if (row.size() + 2 > kPageSize - kDataHeader)
            refuse(QStringLiteral("a row of %1 bytes does not fit in a page").arg(row.size()));
        if (pages.isEmpty() || row.size() + 2 > free) {
            pages.append(QList<QByteArray>());
            free = kPageSize - kDataHeader;
        }
        pages.last() << row;
        free -= int(row.size()) + 2;
    }
    return pages;
}

struct TableDef {
    QString name;
    QList<QString> names;
    QList<int> types;
    QList<bool> autonumber;
    QList<int> textLengths;
    bool system = false;
};

// A table definition page. The usage maps are rows of page 1: 2 * `index` (pages owned) and
// the next one (pages with free space).
QByteArray definitionPage(const TableDef& t, int rows, qint64 nextAutonumber, int index) {
    QByteArray page(kPageSize, '\0');
    page[0] = 0x02;
    page[1] = 0x01;
    const RowLayout layout = layoutOf(t.types);
    const int columns = int(t.types.size());
    put32(page, 16, rows);
    put32(page, 20, nextAutonumber);
    page[24] = 0x01;
    page[40] = t.system ? 0x53 : 0x4e;
    put16(page, 41, columns);
    put16(page, 43, layout.variable);
    put16(page, 45, columns);
    put32(page, 55, (1 << 8) | (2 * index));
    put32(page, 59, (1 << 8) | (2 * index + 1));
    int at = kColumnsStart;
    for (int c = 0; c < columns; ++c, at += kColumnEntry) {
        const int type = t.types[c];
        const bool text = Type(type) == Type::Text || Type(type) == Type::Memo;
        const int size = fixedSize(type);
        page[at] = char(type);
        put16(page, at + 5, c);
        put16(page, at + 7, size < 0 ? layout.place[c] : 0);
        put16(page, at + 9, c);
        put16(page, at + 11, text ? kSortGeneral : 0);
        page[at + 15] = char((size >= 0 ? 0x01 : 0) | 0x02 | (t.autonumber[c] ? 0x04 : 0));
        page[at + 16] = text ? 0x01 : 0; // compressed text
        put16(page, at + 21, size >= 0 ? layout.place[c] : 0);
        const int length = Type(type) == Type::Text      ? 2 * t.textLengths[c]
                           : Type(type) == Type::Boolean ? 1
                                                         : std::max(size, 0);
        put16(page, at + 23, length);
    }
    QByteArray names;
    for (const QString& name : t.names)
        names += le16(int(name.size() * 2)) + utf16(name);
    names += QByteArray(2, '\xff'); // no per-column usage maps follow
    if (at + names.size() > kPageSize)
        refuse(QStringLiteral("the definition of %1 does not fit in a page").arg(t.name));
    page.replace(at, names.size(), names);
    put32(page, 8, at + names.size() - 8);
    put16(page, 2, kPageSize - at - int(names.size()) - 8);
    return page;
}

// A type 0 usage map: the pages from `first` on, `count` of them owned.
QByteArray usageMap(int first, int count) {
    if (count > kMapBytes * 8)
        refuse(QStringLiteral("a table of more than %1 pages").arg(kMapBytes * 8));
    QByteArray map(5 + kMapBytes, '\0');
    put32(map, 1, first);
    for (int i = 0; i < count; ++i)
        map[5 + i / 8] = char(map[5 + i / 8] | (1 << (i % 8)));
    return map;
}

TableDef catalogDef() {
    return {QStringLiteral("MSysObjects"),
            {"Id", "ParentId", "Name", "Type", "Flags", "LvProp"},
            {int(Type::Long), int(Type::Long), int(Type::Text), int(Type::Integer), int(Type::Long),
             kOle},
            {false, false, false, false, false, false},
            {0, 0, 255, 0, 0, 0},
            true};
}

} // namespace

QByteArray Jet4Writer::storedText(const QString& text) {
    // Access compresses when that is shorter and every character can be told from the 0x00
    // that switches between one-byte and two-byte runs. A text led by U+FEFF must be
    // compressed: stored plain it starts with the compression mark itself.
    bool compressible = true;
    QByteArray compressed("\xff\xfe", 2);
    bool oneByte = true;
    for (const QChar c : text) {
        if ((c.unicode() & 0xff) == 0)
            compressible = false;
        if ((c.unicode() < 0x100) != oneByte) {
            compressed += '\0';
            oneByte = !oneByte;
        }
        compressed += char(c.unicode() & 0xff);
        if (!oneByte)
            compressed += char(c.unicode() >> 8);
    }
    const QByteArray plain = utf16(text);
    const bool ledByMark = text.startsWith(QChar(0xFEFF));
    if (ledByMark && !compressible)
        refuse(QStringLiteral("a text led by U+FEFF with a character ending in 0x00"));
    return compressible && (ledByMark || compressed.size() < plain.size()) ? compressed : plain;
}

QByteArray Jet4Writer::bytes() const {
    QList<TableDef> defs{catalogDef()};
    QList<QList<QByteArray>> rowsOf{{}};
    QList<qint64> nextAutonumber{0};
    for (const Table& t : m_tables) {
        TableDef def{t.name, {}, {}, {}, {}, false};
        qint64 next = 0;
        for (const Column& c : t.columns) {
            def.names << c.name;
            def.types << int(c.type);
            def.autonumber << c.autonumber;
            def.textLengths << c.textLength;
        }
        QList<QByteArray> rows;
        for (const QVariantList& values : t.rows) {
            rows << encodeRow(def.types, values);
            for (int c = 0; c < t.columns.size(); ++c) {
                if (t.columns[c].autonumber)
                    next = std::max(next, values.value(c).toLongLong() + 1);
            }
        }
        defs << def;
        rowsOf << rows;
        nextAutonumber << next;
    }
    // The catalog's rows are of one size whatever page numbers they hold: lay out with
    // placeholders, then fill in.
    const auto catalogRows = [this](const QList<int>& firstPages) {
        QList<QByteArray> rows;
        for (int i = 0; i < m_tables.size(); ++i)
            rows << encodeRow(catalogDef().types,
                              {firstPages.value(i + 1), 0, m_tables[i].name, 1, 0, QVariant()});
        return rows;
    };
    rowsOf[0] = catalogRows({});
    QList<int> definitionPages;
    QList<QList<QList<QByteArray>>> pagesOf;
    int next = 2;
    for (const QList<QByteArray>& rows : rowsOf) {
        definitionPages << next;
        pagesOf << packed(rows);
        next += 1 + int(pagesOf.last().size());
    }
    pagesOf[0] = packed(catalogRows(definitionPages));

    QByteArray header(kPageSize, '\0');
    header.replace(0, 4, QByteArray("\x00\x01\x00\x00", 4));
    header.replace(4, 16, QByteArray("Standard Jet DB\0", 16));
    put32(header, 0x14, 1); // Jet 4
    put32(header, 0x3e, kNoKey);
    QList<QByteArray> maps;
    for (int i = 0; i < defs.size(); ++i)
        maps << usageMap(definitionPages[i] + 1, int(pagesOf[i].size())) << usageMap(0, 0);

    QByteArray file = header + dataPage(0, maps);
    for (int i = 0; i < defs.size(); ++i) {
        file += definitionPage(defs[i], int(rowsOf[i].size()), nextAutonumber[i], i);
        for (const QList<QByteArray>& rows : pagesOf[i])
            file += dataPage(definitionPages[i], rows);
    }
    return file;
}

bool Jet4Writer::save(const QString& path) const {
    const QByteArray data = bytes();
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size() &&
           f.flush();
}
