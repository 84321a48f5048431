#include "link/bus_internals.h"

#include "link/bus_parts.h"

FrameBuffer& BusInternals::buffer(Bus& bus) {
    return bus.m_d->buffer;
}
TComm& BusInternals::comm(Bus& bus) {
    return bus.m_d->comm;
}
UdpTransport& BusInternals::udp(Bus& bus) {
    return bus.m_d->udp;
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
