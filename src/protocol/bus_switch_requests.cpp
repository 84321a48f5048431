#include "protocol/bus_switch_requests.h"

#include "link/frames.h"

namespace busswitch {

namespace {
constexpr quint8 kBusSwitch = 0xFF;
constexpr quint8 kModule = 0x00;

quint8 byteAt(const QByteArray& block, int i) {
    return i < block.size() ? quint8(block[i]) : quint8(0);
}
} // namespace

const QList<SettingsRow>& settingsRows() {
    static const QList<SettingsRow> rows = {
        {QStringLiteral("Bus Switch IP :"), FieldKind::Octet, 4},
        {QStringLiteral("Bus Switch Port :"), FieldKind::Port, 1},
        {QStringLiteral("Bus Switch Mask :"), FieldKind::Octet, 4},
        {QStringLiteral("Bus Switch Gateway :"), FieldKind::Octet, 4},
        {QStringLiteral("Server IP :"), FieldKind::Octet, 4},
        {QStringLiteral("Server Port :"), FieldKind::Port, 1},
        {QStringLiteral("Bus Switch  MAC :"), FieldKind::MacByte, 6},
    };
    return rows;
}

namespace {
const SettingsRow& rowOf(int field) {
    for (const SettingsRow& row : settingsRows()) {
        if (field < row.fields)
            return row;
        field -= row.fields;
    }
    return settingsRows().last();
}
} // namespace

QString fieldCaption(int field) {
    return rowOf(field).caption;
}

FieldKind fieldKind(int field) {
    return rowOf(field).kind;
}

std::optional<int> fieldValue(FieldKind kind, const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, kind == FieldKind::MacByte ? 16 : 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString conversionError(int field, const QString& text) {
    const QString what = fieldKind(field) == FieldKind::MacByte
                             ? QStringLiteral("is not a hexadecimal number")
                             : QStringLiteral("is not a number");
    return QStringLiteral("%1 '%2' %3").arg(fieldCaption(field), text, what);
}

std::optional<QByteArray> settingsBlock(int subnet, const QStringList& texts, int* badField) {
    QByteArray block;
    block.append(char((subnet >> 8) & 0xFF)).append(char(subnet & 0xFF));
    for (int field = 0; field < kSettingsFields; ++field) {
        const FieldKind kind = fieldKind(field);
        const std::optional<int> value = fieldValue(kind, texts.value(field));
        if (!value) {
            if (badField)
                *badField = field;
            return std::nullopt;
        }
        if (kind == FieldKind::Port)
            block.append(char((*value >> 8) & 0xFF));
        block.append(char(*value & 0xFF));
    }
    return block;
}

int blockSubnet(const QByteArray& block) {
    return byteAt(block, 0) * 256 + byteAt(block, 1);
}

QStringList blockTexts(const QByteArray& block) {
    QStringList texts;
    int at = 2;
    for (int field = 0; field < kSettingsFields; ++field) {
        switch (fieldKind(field)) {
        case FieldKind::Octet:
            texts << QString::number(byteAt(block, at++));
            break;
        case FieldKind::Port:
            texts << QString::number(byteAt(block, at) * 256 + byteAt(block, at + 1));
            at += 2;
            break;
        case FieldKind::MacByte:
            texts
                << QStringLiteral("%1").arg(byteAt(block, at++), 2, 16, QLatin1Char('0')).toUpper();
            break;
        }
    }
    return texts;
}

RequestLayout layout(quint16 subnet) {
    return RequestLayout::longForm(subnet);
}

Request setSettings(const QByteArray& block) {
    return {kBusSwitch, kModule, 0x00, block.left(kSettingsSize)};
}
Request readSettings() {
    return {kBusSwitch, kModule, 0x05};
}
Request readType() {
    return {kBusSwitch, kModule, 0x06};
}
Request readVersion() {
    return {kBusSwitch, kModule, 0x07};
}
Request restore() {
    return {kBusSwitch, kModule, 0x0A};
}
Request setPassword(const QString& password) {
    // The same 16 bytes as the password block that frames carry.
    return {kBusSwitch, kModule, 0x0B, frames::PasswordBlock(password)};
}
Request setTransparentMode() {
    return {kBusSwitch, kModule, 0x0C, {0x01}};
}

SettingsText settingsText(const QByteArray& block) {
    const QStringList t = blockTexts(block);
    const auto joined = [&t](int from, int count, QChar separator) {
        return t.mid(from, count).join(separator);
    };
    return {QString::number(blockSubnet(block)),
            joined(0, 4, u'.'),
            t.value(4),
            joined(5, 4, u'.'),
            joined(9, 4, u'.'),
            joined(13, 4, u'.'),
            t.value(17),
            joined(18, 6, u'-')};
}

QByteArray replyBlock(const Reply& reply) {
    QByteArray block;
    for (int i = 0; i < kSettingsSize; ++i)
        block.append(char(reply[7 + i]));
    return block;
}

} // namespace busswitch
