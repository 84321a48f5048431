#pragma once

class PromptService;
class QMainWindow;
class QString;

// The "Help" menu: "About VELM…" says which version runs and which record file and data
// folder it uses.
namespace helpmenu {

void install(QMainWindow& window, PromptService& prompts, const QString& databaseFile);

// The text of the about box and its detail.
QString aboutText();
QString aboutDetail(const QString& databaseFile);

} // namespace helpmenu
