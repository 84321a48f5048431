#pragma once

#include "widgets/prompt_service.h"

class QWidget;

// The real prompts: modal message boxes over the main window.
class MessagePrompts : public PromptService {
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text) override;
    void message(const QString& text, const QString& detail) override;
    bool confirm(const QString& text) override;

private:
    QWidget* m_parent = nullptr;
};
