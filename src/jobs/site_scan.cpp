#include "jobs/site_scan.h"

#include <algorithm>

QString SiteScanRow::key() const {
    switch (mark) {
    case Mark::Expected:
        return QStringLiteral("expected");
    case Mark::TypeDiffers:
        return QStringLiteral("type-differs");
    case Mark::Silent:
        return QStringLiteral("silent");
    case Mark::Unexpected:
        break;
    }
    return QStringLiteral("unexpected");
}

QString SiteScanRow::text() const {
    switch (mark) {
    case Mark::Expected:
        return QStringLiteral("expected");
    case Mark::TypeDiffers:
        return QStringLiteral("expected type %1").arg(expectedType);
    case Mark::Silent:
        return QStringLiteral("expected, silent");
    case Mark::Unexpected:
        break;
    }
    return QStringLiteral("not expected");
}

namespace sitescan {

QList<SiteScanRow> rows(const QList<ScanHit>& hits, const QList<ExpectedModule>& expected,
                        const QList<int>& asked) {
    QList<SiteScanRow> out;
    auto siteModule = [&expected](int address) -> const ExpectedModule* {
        for (const ExpectedModule& m : expected)
            if (m.address == address)
                return &m;
        return nullptr;
    };
    for (const ScanHit& h : hits) {
        SiteScanRow r{h.address, h.type, h.version, SiteScanRow::Mark::Unexpected, {}, {}, {}};
        if (const ExpectedModule* m = siteModule(h.address)) {
            r.expectedType = m->type;
            r.name = m->name;
            r.room = m->room;
            r.mark = m->type.isEmpty() || m->type.compare(h.type, Qt::CaseInsensitive) == 0
                         ? SiteScanRow::Mark::Expected
                         : SiteScanRow::Mark::TypeDiffers;
        }
        out << r;
    }
    for (const ExpectedModule& m : expected) {
        const bool answered = std::any_of(hits.begin(), hits.end(),
                                          [&m](const ScanHit& h) { return h.address == m.address; });
        if (!answered && asked.contains(m.address))
            out << SiteScanRow{m.address, {}, {}, SiteScanRow::Mark::Silent, m.type, m.name, m.room};
    }
    std::stable_sort(out.begin(), out.end(), [](const SiteScanRow& a, const SiteScanRow& b) {
        return a.address < b.address; // the bus switch (255) last

    });
    return out;
}

QList<int> askedAddresses(const ModuleScan::Options& o) {
    if (!o.addresses.isEmpty())
        return o.addresses;
    QList<int> out;
    for (int a = o.first; a <= o.last; ++a)
        out << a;
    if (o.busSwitch)
        out << ModuleScan::kBusSwitch;
    return out;
}

} // namespace sitescan
