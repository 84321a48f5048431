#include "app/tools_menu.h"

#include "app/audit_dialog.h"
#include "app/bus_monitor_dialog.h"
#include "app/identify_dialog.h"
#include "app/push_dialog.h"
#include "app/replace_dialog.h"
#include "app/scan_dialog.h"
#include "app/walk_test_dialog.h"
#include "jobs/module_scan.h"
#include "link/bus.h"
#include "protocol/module_kinds.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>

#include <algorithm>

namespace {
// The spin edits that name the module a tab sheet talks to, with the kinds of module the
// sheet is for: module settings, scenes, light, curtain, IR, input module (its settings and
// its read-all below the grid), timers.
struct ModuleField {
    const char* name;
    std::initializer_list<modulekind::Kind> kinds; // empty: a module of any kind
};
using modulekind::Kind;
const ModuleField kModuleFields[] = {{"SpinEdit1", {}},
                                     {"SpinEdit5", {Kind::Light, Kind::Curtain, Kind::Ir}},
                                     {"SpinEdit2", {Kind::Light}},
                                     {"SpinEdit9", {Kind::Curtain}},
                                     {"SpinEdit14", {Kind::Ir}},
                                     {"SpinEdit15", {Kind::Input}},
                                     {"SpinEdit37", {Kind::Input}},
                                     {"SpinEdit30", {Kind::Timer}}};

bool fits(const ModuleField& field, Kind kind) {
    return kind == Kind::Other || field.kinds.size() == 0 ||
           std::find(field.kinds.begin(), field.kinds.end(), kind) != field.kinds.end();
}

template <class Dialog> void present(Dialog* dialog) {
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
} // namespace

ToolsMenu::ToolsMenu(QMainWindow* window, Bus& bus, PromptService& prompts,
                     const QString& databaseFile)
    : QObject(window), m_window(window), m_bus(bus), m_prompts(prompts),
      m_databaseFile(databaseFile) {
    setObjectName(QStringLiteral("ToolsMenuOwner"));
    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    QMenu* menu = bar->addMenu(QStringLiteral("Tools"));
    menu->setObjectName(QStringLiteral("ToolsMenu"));
    auto add = [&](const char* name, const QString& caption, auto open) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, open);
    };
    add("ScanSubnetAction", QStringLiteral("Scan Subnet…"), [this] { present(scanDialog()); });
    add("AuditModuleAction", QStringLiteral("Audit Module…"), [this] { present(auditDialog()); });
    add("ReplaceModuleAction", QStringLiteral("Replace Module…"),
        [this] { present(replaceDialog()); });
    add("PushModuleAction", QStringLiteral("Push Records…"), [this] { present(pushDialog()); });
    add("WalkTestAction", QStringLiteral("Walk Test…"), [this] { present(walkTestDialog()); });
    add("IdentifyModuleAction", QStringLiteral("Identify Module…"),
        [this] { present(identifyDialog()); });
    menu->addSeparator();
    add("BusMonitorAction", QStringLiteral("Bus Monitor…"), [this] { present(busMonitor()); });
}

ToolsMenu::~ToolsMenu() {
    // The dialogs belong to the window; a menu made afresh (another site's record file)
    // makes its own.
    delete m_scan;
    delete m_audit;
    delete m_push;
    delete m_replace;
    delete m_monitor;
    delete m_walk;
    delete m_identify;
}

ToolsMenu* ToolsMenu::install(QMainWindow* window, Bus& bus, PromptService& prompts,
                              const QString& databaseFile) {
    return new ToolsMenu(window, bus, prompts, databaseFile);
}

ScanDialog* ToolsMenu::scanDialog() {
    if (!m_scan) {
        m_scan = new ScanDialog(m_bus, m_prompts, m_window);
        connect(m_scan, &ScanDialog::addressChosen, this, &ToolsMenu::setModuleAddress);
        connect(m_scan, &ScanDialog::identifyRequested, this, [this](int address) {
            present(identifyDialog());
            identifyDialog()->identify(address);
        });
    }
    return m_scan;
}

AuditDialog* ToolsMenu::auditDialog() {
    if (!m_audit)
        m_audit = new AuditDialog(m_bus, m_prompts, m_databaseFile, m_window);
    return m_audit;
}

PushDialog* ToolsMenu::pushDialog() {
    if (!m_push)
        m_push = new PushDialog(m_bus, m_prompts, m_databaseFile, m_window);
    return m_push;
}

ReplaceDialog* ToolsMenu::replaceDialog() {
    if (!m_replace)
        m_replace = new ReplaceDialog(m_bus, m_prompts, m_databaseFile, m_window);
    return m_replace;
}

IdentifyDialog* ToolsMenu::identifyDialog() {
    if (!m_identify)
        m_identify = new IdentifyDialog(m_bus, m_prompts, m_window);
    return m_identify;
}

WalkTestDialog* ToolsMenu::walkTestDialog() {
    if (!m_walk)
        m_walk = new WalkTestDialog(m_bus, m_prompts, m_databaseFile, m_window);
    return m_walk;
}

BusMonitorDialog* ToolsMenu::busMonitor() {
    if (!m_monitor)
        m_monitor = new BusMonitorDialog(m_bus, m_prompts, m_window);
    return m_monitor;
}

void ToolsMenu::setModuleAddress(int address) {
    // The bus switch has no module address field of its own; the audit and push dialogs
    // still take it.
    // A module of a known kind goes only into the sheets that talk to such a module; one
    // whose type nobody knows goes into every sheet.
    const Kind kind = modulekind::ofType(m_bus.moduleTypes().typeOf(address));
    if (address != ModuleScan::kBusSwitch)
        for (const ModuleField& field : kModuleFields)
            if (fits(field, kind))
                if (auto* spin = m_window->findChild<QSpinBox*>(QString::fromLatin1(field.name)))
                    spin->setValue(address);
    auditDialog()->setModule(address);
    pushDialog()->setModule(address);
    replaceDialog()->setModule(address);
}

#include "moc_tools_menu.cpp"
