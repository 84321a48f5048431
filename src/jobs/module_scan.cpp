#include "jobs/module_scan.h"

#include "protocol/bus_switch_requests.h"
#include "protocol/module_admin_requests.h"

ModuleScan::ModuleScan(Bus& bus, const Options& options, QObject* parent)
    : QObject(parent), m_options(options), m_job(bus, QStringLiteral("Scan Subnet")) {
    if (!options.addresses.isEmpty()) {
        for (int a : options.addresses)
            m_job.add(typeStep(a));
        return;
    }
    for (int a = options.first; a <= options.last; ++a)
        m_job.add(typeStep(a));
    if (options.busSwitch)
        m_job.add(typeStep(kBusSwitch));
}

int ModuleScan::addressCount() const {
    if (!m_options.addresses.isEmpty())
        return int(m_options.addresses.size());
    return std::max(0, m_options.last - m_options.first + 1) + (m_options.busSwitch ? 1 : 0);
}

JobStep ModuleScan::typeStep(int address) {
    JobStep step;
    if (address == kBusSwitch) {
        // The bus switch answers on its own subnet, always in the long layout.
        step.request = busswitch::readType();
        step.options.layout = busswitch::layout(m_job.bus().settings().subnetId());
    } else {
        step.request = moduleadmin::readType(address);
    }
    step.what = QStringLiteral("type of %1").arg(address);
    step.waitMs = m_options.waitMs;
    step.take = [this, address](const ExchangeAnswer& a) {
        if (a.ok())
            m_job.addNext(versionStep(ScanHit{address, moduleadmin::typeText(a.reply()), {}}));
        else
            emit progress(++m_addressesDone, addressCount());
        return true;
    };
    return step;
}

JobStep ModuleScan::versionStep(const ScanHit& hit) {
    JobStep step;
    if (hit.address == kBusSwitch) {
        step.request = busswitch::readVersion();
        step.options.layout = busswitch::layout(m_job.bus().settings().subnetId());
    } else {
        step.request = moduleadmin::readVersion(hit.address);
    }
    step.what = QStringLiteral("version of %1").arg(hit.address);
    step.waitMs = m_options.waitMs;
    step.take = [this, hit](const ExchangeAnswer& a) {
        ScanHit h = hit;
        if (a.ok())
            h.version = moduleadmin::versionText(a.reply());
        m_hits << h;
        m_job.bus().moduleTypes().noteAnswered(h.address, h.type);
        emit found(h);
        emit progress(++m_addressesDone, addressCount());
        return true;
    };
    return step;
}

#include "moc_module_scan.cpp"
