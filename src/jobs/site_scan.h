#pragma once

#include "jobs/module_scan.h"
#include "records/site_settings.h"

#include <QList>
#include <QString>

// A scan's rows held against the modules a site expects: each module that answered, and each
// expected one that did not, with what that means.
struct SiteScanRow {
    enum class Mark { Expected, TypeDiffers, Silent, Unexpected };

    int address = 0;
    QString type;    // what answered; empty for a silent one
    QString version; // what answered
    Mark mark = Mark::Unexpected;
    QString expectedType; // the site's; empty when it names none
    QString name;         // the site's name and room of the module
    QString room;

    // "expected", "type-differs", "silent", "unexpected": for JSON and scripts.
    QString key() const;
    // In words: "expected", "expected type 0108", "expected, silent", "not expected".
    QString text() const;
};

namespace sitescan {

// The rows in address order (the bus switch last). Only the addresses the scan asked are
// held against the site: an expected module outside them is neither found nor silent.
QList<SiteScanRow> rows(const QList<ScanHit>& hits, const QList<ExpectedModule>& expected,
                        const QList<int>& asked);
// The addresses a scan of these options asks.
QList<int> askedAddresses(const ModuleScan::Options& options);

} // namespace sitescan
