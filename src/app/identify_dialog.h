#pragma once

#include "app/job_dialog.h"

#include <memory>

class Bus;
class ModuleIdentify;
class QSpinBox;

// "Identify Module…": the module's test request and, on a light module, channel 1 switched
// over twice and back, so that the technician finds it in the cabinet.
class IdentifyDialog : public JobDialog {
    Q_OBJECT
public:
    IdentifyDialog(Bus& bus, PromptService& prompts, QWidget* parent);
    ~IdentifyDialog() override;

    // Sets the module and starts at once (a scan row's menu).
    void identify(int address);

protected:
    BusJob* createJob() override;
    void jobEnded() override;

private:
    Bus& m_bus;
    QSpinBox* m_module = nullptr;
    std::unique_ptr<ModuleIdentify> m_identify;
};
