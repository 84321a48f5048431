#pragma once

#include "jobs/module_audit.h"
#include "jobs/walk_run.h"
#include "protocol/bus_switch_requests.h"
#include "records/site_history.h"
#include "records/site_settings.h"
#include "report/report_records.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Everything one installation report says, gathered before a word of it is written: the
// cover, the records, and for a live report what the modules answered. Nothing in it comes
// from the link settings beyond where the link went: never a password.
struct ReportContent {
    // One module of the "Modules" part.
    struct Module {
        int address = 0;
        QString type;          // four hexadecimal digits; empty when not read
        QString version;       // empty when not read or not answered
        bool named = false;    // the records name it
        bool answered = false; // live: it answered its type read
    };

    // The bus switch's network settings as its "Read" gives them, in words.
    struct BusSwitch {
        bool answered = false;
        QString failure; // why there is nothing: "did not answer", the link's failure
        busswitch::SettingsText settings;
    };

    QString site;
    QString technician;
    QDateTime made;
    QString version;
    bool live = false;
    QString link; // live: "UDP 127.0.0.1 port 2001, Subnet ID 1" or "serial port ..."
    ReportRecords records;
    QList<Module> modules;
    QList<int> moduleFilter;       // empty: every module
    int timerModule = 0;           // the module whose timer and event records are audited; 0: none
    QMap<int, AuditReport> audits; // live: by module address
    std::optional<BusSwitch> busSwitch; // live over the network only
    QString liveFailure; // live: why the reading stopped early (cancelled, link lost)
    // A site's report: the modules it expects (their names and rooms) and its history.
    bool sited = false;
    QList<ExpectedModule> siteModules;
    QList<HistoryEntry> history;
    int historySkipped = 0; // lines of the history cut short
    // The walk tests kept with the records: each output's latest verdict, and the runs'
    // files that could not be read.
    QList<WalkResult> walkResults;
    QStringList walkUnreadable;

    const ExpectedModule* expected(int address) const {
        for (const ExpectedModule& m : siteModules)
            if (m.address == address)
                return &m;
        return nullptr;
    }

    // Whether a module's records belong in the report.
    bool shows(int address) const {
        return moduleFilter.isEmpty() || moduleFilter.contains(address);
    }
};
