#pragma once

#include <QString>
#include <QtGlobal>

struct Reply;

// How the parameters of each request and the data of each success reply read in words, for
// the operation table (the bus monitor's "Details"): the request ones take the parameter
// bytes after the sub-command, the reply ones a success reply.
namespace operations::words {

// Requests.
QString newAddress(const quint8* params, int count);
QString settings(const quint8* params, int count);
QString inputSet(const quint8* params, int count);
QString sceneSet(const quint8* params, int count);
QString sceneFirst(const quint8* params, int count);
QString sceneSecond(const quint8* params, int count);
QString newPassword(const quint8* params, int count);
QString transparent(const quint8* params, int count);
QString relayDelay(const quint8* params, int count);
QString monitorSet(const quint8* params, int count);
QString inputRead(const quint8* params, int count);
QString monitorRead(const quint8* params, int count);
QString channel(const quint8* params, int count);
QString travelTime(const quint8* params, int count);
QString duration(const quint8* params, int count);
QString irCode(const quint8* params, int count);
QString clockSet(const quint8* params, int count);
QString timerSet(const quint8* params, int count);
QString timerRead(const quint8* params, int count);
QString eventRead(const quint8* params, int count);
QString eventSet(const quint8* params, int count);

// Success replies.
QString settingsReply(const Reply& reply);
QString addressReply(const Reply& reply);
QString typeReply(const Reply& reply);
QString versionReply(const Reply& reply);
QString statusReply(const Reply& reply);
QString inputReply(const Reply& reply);
QString monitorReply(const Reply& reply);
QString clockReply(const Reply& reply);
QString timerReply(const Reply& reply);
QString eventReply(const Reply& reply);

} // namespace operations::words
