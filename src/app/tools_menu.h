#pragma once

#include <QObject>
#include <QPointer>

class AuditDialog;
class IdentifyDialog;
class Bus;
class BusMonitorDialog;
class PromptService;
class PushDialog;
class ReplaceDialog;
class QMainWindow;
class ScanDialog;
class WalkTestDialog;

// The "Tools" menu of the main window's menu bar: "Scan Subnet…", "Audit Module…",
// "Replace Module…" (the guided replacement), "Push Records…", "Walk Test…", "Identify
// Module…" and "Bus Monitor…", each opening its dialog (one of each, kept for the run).
class ToolsMenu : public QObject {
    Q_OBJECT
public:
    ToolsMenu(QMainWindow* window, Bus& bus, PromptService& prompts, const QString& databaseFile);
    ~ToolsMenu() override;

    // Adds the menu to the window's menu bar; the window owns what it creates.
    static ToolsMenu* install(QMainWindow* window, Bus& bus, PromptService& prompts,
                              const QString& databaseFile);

    ScanDialog* scanDialog();
    AuditDialog* auditDialog();
    PushDialog* pushDialog();
    ReplaceDialog* replaceDialog();
    BusMonitorDialog* busMonitor();
    WalkTestDialog* walkTestDialog();
    IdentifyDialog* identifyDialog();

    // A module found by the scan: its address goes into the module address fields of the
    // tab sheets (each keeps it within its own range).
    void setModuleAddress(int address);

private:
    QMainWindow* m_window;
    Bus& m_bus;
    PromptService& m_prompts;
    QString m_databaseFile;
    QPointer<ScanDialog> m_scan;
    QPointer<AuditDialog> m_audit;
    QPointer<PushDialog> m_push;
    QPointer<ReplaceDialog> m_replace;
    QPointer<BusMonitorDialog> m_monitor;
    QPointer<WalkTestDialog> m_walk;
    QPointer<IdentifyDialog> m_identify;
};
