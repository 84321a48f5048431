#pragma once

#include <QString>

class Bus;
class PromptService;
class QGroupBox;
class QTabWidget;
class QWidget;
class RecordStore;

// What a command family gets when the main window creates it: the link, the record tables,
// the prompt service and the page control whose tab sheets it fills.
struct FamilyContext {
    Bus& bus;
    RecordStore& records;
    PromptService& prompts;
    QTabWidget* pages; // "PageControl1"

    // What the tab sheet with this objectName ("TabSheet3") shows: a widget with a layout to
    // add groups to (inside the sheet's scroll area).
    QWidget* page(const QString& name) const;
    // A new group box added to that tab sheet's layout.
    QGroupBox* pageGroup(const QString& page, const QString& name, const QString& caption) const;
};
