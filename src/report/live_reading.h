#pragma once

#include "report/installation_report.h"

#include <QObject>

#include <functional>
#include <memory>

class Bus;
class BusJob;
class ModuleAudit;
class ModuleScan;

// A live report's reading, run as the Tools menu's jobs run: the modules are asked for their
// type and version (the whole subnet, or the modules asked for), every module that answers is
// audited against its records, and over the network the bus switch's settings are read as the
// window's "Read" reads them. It writes no record row and no window field; the replies are
// the jobs' own. One job at a time, each from the event loop.
class LiveReading : public QObject {
    Q_OBJECT
public:
    // `content` holds the records already (InstallationReport::fromRecords).
    LiveReading(Bus& bus, const ReportRequest& request, ReportContent content,
                QObject* parent = nullptr);
    ~LiveReading() override;

    // False, with the reason in failure(), when the link is busy; finished() then does not
    // come.
    bool start();
    void cancel();
    bool running() const { return m_running; }
    QString failure() const { return m_failure; }
    const ReportContent& content() const { return m_content; }

    // Runs it to its end here, handling events: for the command line.
    bool runHere();

signals:
    // `what`: "Scanning", "Auditing module 5", "Reading the bus switch's settings".
    void progress(const QString& what, int done, int total);
    void finished();

private:
    void nextStage();
    void nextStageLater();
    bool runJob(BusJob& job, const QString& what);
    void scanned();
    void audited();
    void finish();
    BusJob* busSwitchRead();

    Bus& m_bus;
    ReportRequest m_request;
    ReportContent m_content;
    QList<std::function<void()>> m_stages;
    std::unique_ptr<ModuleScan> m_scan;
    std::unique_ptr<ModuleAudit> m_audit;
    std::unique_ptr<BusJob> m_settingsRead;
    BusJob* m_job = nullptr;
    bool m_running = false;
    bool m_starting = false;
    QString m_failure;
};
