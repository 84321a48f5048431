#include "report/packed_rows.h"

#include "records/json_walker.h"

#include <QDataStream>

#include <climits>
#include <cstring>

namespace {

constexpr qint64 kNoNumber = LLONG_MIN;

enum Tag : char { TypedNull, Whole, Real, Utf8, Streamed };

template <class T> void putRaw(QByteArray& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <class T> T takeRaw(const char*& at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

void putBytes(QByteArray& out, const QByteArray& bytes) {
    putRaw(out, qint32(bytes.size()));
    out += bytes;
}

void putValue(QByteArray& out, const QVariant& v) {
    if (v.isNull() && v.metaType().isValid()) {
        out += TypedNull;
        putRaw(out, qint32(v.typeId()));
        return;
    }
    switch (v.typeId()) {
    case QMetaType::LongLong:
        out += Whole;
        putRaw(out, v.toLongLong());
        return;
    case QMetaType::Double:
        out += Real;
        putRaw(out, v.toDouble());
        return;
    case QMetaType::QString:
        out += Utf8;
        putBytes(out, v.toString().toUtf8());
        return;
    default: { // anything else, an invalid variant included, as Qt streams it
        QByteArray streamed;
        QDataStream s(&streamed, QIODevice::WriteOnly);
        s << v;
        out += Streamed;
        putBytes(out, streamed);
    }
    }
}

QVariant takeValue(const char*& at) {
    const char tag = *at++;
    switch (tag) {
    case TypedNull:
        return QVariant(QMetaType(takeRaw<qint32>(at)));
    case Whole:
        return takeRaw<qint64>(at);
    case Real:
        return takeRaw<double>(at);
    default: {
        const qint32 length = takeRaw<qint32>(at);
        const QByteArrayView bytes(at, length);
        at += length;
        if (tag == Utf8)
            return JsonWalker::decoded(bytes); // keeps a leading U+FEFF
        QByteArray copy = bytes.toByteArray();
        QDataStream s(&copy, QIODevice::ReadOnly);
        QVariant v;
        s >> v;
        return v;
    }
    }
}

} // namespace

QVariant ReportRow::value(const char* column) const {
    const qsizetype i = columns.indexOf(QLatin1String(column));
    return i < 0 ? QVariant() : values.at(i);
}

QString ReportRow::text(const char* column) const {
    return value(column).toString();
}

std::optional<int> ReportRow::number(const char* column) const {
    const QVariant v = value(column);
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (v.isNull() || !ok || n < INT_MIN || n > INT_MAX)
        return std::nullopt;
    return int(n);
}

PackedRows::PackedRows(const QStringList& columns, const char* groupColumn)
    : m_columns(columns), m_group(groupColumn) {}

void PackedRows::append(const QVariantList& values, const QString& unfit) {
    const int index = size();
    m_starts << m_bytes.size();
    for (const QVariant& v : values)
        putValue(m_bytes, v);
    if (!unfit.isEmpty())
        m_unfit.insert(index, unfit);
    if (!m_group.isEmpty()) {
        const std::optional<int> n = ReportRow{m_columns, values, {}}.number(m_group.constData());
        m_groupRows[n ? *n : kNoNumber] << index;
    }
}

ReportRow PackedRows::at(int index) const {
    ReportRow row{m_columns, {}, m_unfit.value(index)};
    row.values.reserve(m_columns.size());
    const char* at = m_bytes.constData() + m_starts[index];
    for (int c = 0; c < m_columns.size(); ++c)
        row.values << takeValue(at);
    return row;
}

void PackedRows::forEach(const std::function<void(const ReportRow&)>& take) const {
    for (int i = 0; i < size(); ++i)
        take(at(i));
}

QList<ReportRow> PackedRows::rowsWhere(std::optional<int> number) const {
    QList<ReportRow> rows;
    for (int i : m_groupRows.value(number ? *number : kNoNumber))
        rows << at(i);
    return rows;
}

QList<int> PackedRows::groups() const {
    QList<int> numbers;
    for (auto it = m_groupRows.cbegin(); it != m_groupRows.cend(); ++it)
        if (it.key() != kNoNumber)
            numbers << int(it.key());
    return numbers;
}
