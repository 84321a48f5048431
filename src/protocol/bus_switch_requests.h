#pragma once

#include "link/frame_buffer.h"
#include "link/reply.h"
#include "link/request_layout.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Requests to the bus switch (address 0xFF, command 0) and its settings block, as plain
// values: the window, a command line and the tests share them. Every request to the bus
// switch travels in the long layout, whatever the link.
namespace busswitch {

// Set and Read of the settings reach the bus switch whatever subnet it is on.
constexpr quint16 kSettingsSubnet = 0xFFFF;
constexpr int kSettingsSize = 28;
// The edits of the settings after the subnet number, in block order.
constexpr int kSettingsFields = 24;

// How an edit's text becomes block bytes: a decimal octet (its low 8 bits), a decimal port
// (its low 16 bits, high byte first) or a hexadecimal MAC byte.
enum class FieldKind { Octet, Port, MacByte };

// One row of the settings form after "Subnet ID :": its caption and its edits.
struct SettingsRow {
    QString caption;
    FieldKind kind;
    int fields;
};
const QList<SettingsRow>& settingsRows();
// The row caption and kind of edit `field` (0..23, block order).
QString fieldCaption(int field);
FieldKind fieldKind(int field);

// The integer an edit's text converts to; nothing when it does not convert (empty, not a
// number). There is no range check: the block keeps the low bits.
std::optional<int> fieldValue(FieldKind kind, const QString& text);
// "Bus Switch IP : '' is not a number"
QString conversionError(int field, const QString& text);

// The 28-byte block from the subnet number and the 24 texts in block order. Nothing when a
// text does not convert; `badField` then names the first such edit.
std::optional<QByteArray> settingsBlock(int subnet, const QStringList& texts,
                                        int* badField = nullptr);
// Back from a block (shorter blocks read as zero-padded): the subnet number and the 24 texts
// as the edits show them (decimal octets and ports, two upper-case hex digits per MAC byte).
int blockSubnet(const QByteArray& block);
QStringList blockTexts(const QByteArray& block);

// The settings as a reader takes them in: addresses dotted, the MAC with dashes, the ports
// and the subnet in decimal. From a block (shorter blocks read as zero-padded), or from the
// settings reply, whose block stands at reply bytes 7..34 whatever its length byte says.
struct SettingsText {
    QString subnet, ip, port, mask, gateway, serverIp, serverPort, mac;
};
SettingsText settingsText(const QByteArray& block);
QByteArray replyBlock(const Reply& reply);

// The long layout of every bus switch request; Set and Read use kSettingsSubnet.
RequestLayout layout(quint16 subnet);

Request setSettings(const QByteArray& block);
// Answered by the bus switch without a password.
Request readSettings();
Request readType();
Request readVersion();
Request restore();
// The new password: its first 16 characters, the rest of the 16 bytes 0xFF.
Request setPassword(const QString& password);
Request setTransparentMode();

} // namespace busswitch
