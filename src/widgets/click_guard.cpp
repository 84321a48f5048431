#include "widgets/click_guard.h"

#include "widgets/prompt_service.h"

#include <QString>

#include <exception>

void runClick(PromptService& prompts, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        prompts.message(QString::fromStdString(e.what()));
    } catch (...) {
        prompts.message(QStringLiteral("Error!"));
    }
}
