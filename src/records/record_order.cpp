#include "records/record_order.h"

#include <QByteArray>
#include <QVariant>
#include <cstring>

#include <algorithm>
#include <compare>

namespace {

// SQLite's storage classes in their sort order.
enum class StorageClass { Null, Number, Text, Other };

StorageClass storageClass(const QVariant& v) {
    if (v.isNull())
        return StorageClass::Null;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return StorageClass::Number;
    case QMetaType::QString:
        return StorageClass::Text;
    default:
        return StorageClass::Other;
    }
}

std::strong_ordering compareBytes(const QByteArray& a, const QByteArray& b) {
    const int c = std::memcmp(a.constData(), b.constData(), size_t(std::min(a.size(), b.size())));
    if (c != 0)
        return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.size() <=> b.size();
}

std::partial_ordering compareValues(const QVariant& a, const QVariant& b) {
    const StorageClass ca = storageClass(a), cb = storageClass(b);
    if (ca != cb)
        return ca <=> cb;
    switch (ca) {
    case StorageClass::Null:
        return std::partial_ordering::equivalent;
    case StorageClass::Number:
        if (a.typeId() != QMetaType::Double && b.typeId() != QMetaType::Double)
            return a.toLongLong() <=> b.toLongLong();
        return static_cast<long double>(a.toDouble()) <=> static_cast<long double>(b.toDouble());
    case StorageClass::Text:
        // The file's texts are UTF-8 and compare as their bytes: by code point, not by the
        // UTF-16 units QString compares.
        return compareBytes(a.toString().toUtf8(), b.toString().toUtf8());
    case StorageClass::Other:
        return compareBytes(a.toByteArray(), b.toByteArray());
    }
    return std::partial_ordering::equivalent;
}

} // namespace

bool RecordOrder::before(const StoredRow& a, const StoredRow& b) const {
    for (const SortKey& k : m_keys) {
        const auto c = compareValues(a.values.value(k.column), b.values.value(k.column));
        if (c == 0 || c == std::partial_ordering::unordered)
            continue;
        return k.descending ? c > 0 : c < 0;
    }
    return a.key < b.key;
}

qsizetype RecordOrder::place(const QList<StoredRow>& rows, const StoredRow& row) const {
    const auto at = std::partition_point(rows.begin(), rows.end(),
                                         [&](const StoredRow& r) { return before(r, row); });
    return at - rows.begin();
}
