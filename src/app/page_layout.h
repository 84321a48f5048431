#pragma once

class QSplitter;
class QTabWidget;
class QWidget;

// The tab sheets of the main window: each one scrolls when the window is smaller than what it
// holds, and every record grid on them shows all its columns and a few rows before a sheet
// gives up room.
namespace pagelayout {

// A tab sheet named `name` (the scroll area is the page the tab widget shows); its groups go
// into the widget inside, which FamilyContext::page hands out.
QWidget* scrollingSheet(QTabWidget* pages, const char* name);
// Gives every grid (QTableView) on the sheets a minimum size that shows all its columns and
// kRowsShown rows, kept up to date when its columns or rows change.
void fitGrids(QTabWidget* pages);

// When the window first shows, the splitter gives the page control the height of its tallest
// sheet (sheetsHeight); from then on the sheets keep their height and the other band grows.
void keepSheetsHeight(QTabWidget* pages, QSplitter* splitter);
// The height the page control needs to show its tallest sheet without scrolling.
int sheetsHeight(const QTabWidget* pages);

constexpr int kRowsShown = 8;

} // namespace pagelayout
