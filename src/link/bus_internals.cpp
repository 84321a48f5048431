#include "link/bus_internals.h"

#include "link/bus_parts.h"

FrameBuffer& BusInternals::buffer(Bus& bus) {
    return bus.m_d->buffer;
}
RunState& BusInternals::state(Bus& bus) {
    return bus.m_d->state;
}
TComm& BusInternals::comm(Bus& bus) {
    return bus.m_d->comm;
}
UdpTransport& BusInternals::udp(Bus& bus) {
    return bus.m_d->udp;
}
QTimer& BusInternals::watchdogTimer(Bus& bus) {
    return bus.m_d->watchdog.timer();
}
ReplyOwnership& BusInternals::ownership(Bus& bus) {
    return bus.m_d->ownership;
}
ReplyDispatcher& BusInternals::dispatcher(Bus& bus) {
    return bus.m_d->dispatcher;
}
void BusInternals::sendRequestArea(Bus& bus) {
    bus.sendRequestArea();
}
void BusInternals::sendBindFrame(Bus& bus) {
    bus.sendArea(Request(), Purpose::Bind, {});
}
