#pragma once

#include "app/job_dialog.h"
#include "jobs/module_scan.h"

#include <memory>

class Bus;
class ModuleScan;
class QCheckBox;
class QSpinBox;
class SiteScanView;
class SiteSession;
struct ScanHit;

// "Scan Subnet…": the type code and software version of every address in a range and of
// the bus switch, a row per module as it answers. Double-clicking a row hands its address on.
class ScanDialog : public JobDialog {
    Q_OBJECT
public:
    ScanDialog(Bus& bus, PromptService& prompts, QWidget* parent);
    ~ScanDialog() override;

    // The open site the rows are held against (none: the rows as they come).
    void setSiteSession(SiteSession* session);

signals:
    void addressChosen(int address);
    // "Identify" on a row's menu.
    void identifyRequested(int address);

protected:
    BusJob* createJob() override;
    void jobEnded() override;

private:
    void addHit(const ScanHit& hit);

    Bus& m_bus;
    QSpinBox* m_first = nullptr;
    QSpinBox* m_last = nullptr;
    QSpinBox* m_wait = nullptr;
    QCheckBox* m_busSwitch = nullptr;
    std::unique_ptr<ModuleScan> m_scan;
    ModuleScan::Options m_options;
    SiteScanView* m_siteView = nullptr;
};
