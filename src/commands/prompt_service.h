#pragma once

#include <QString>
#include <QStringList>

#include <deque>

// Every message box and Yes/No confirmation of the tool goes through here, so that tests
// can script the answers and nothing ever blocks on a modal box in a test.
class PromptService {
public:
    virtual ~PromptService() = default;
    // An information box with an OK button ("Finished！", "No records!", "Error!").
    virtual void message(const QString& text) = 0;
    // A question box with Yes and No; true only for Yes ("Are you sure?").
    virtual bool confirm(const QString& text) = 0;
};

// Records every message and answers confirmations from a queue (No when the queue is empty).
class ScriptedPrompts : public PromptService {
public:
    QStringList messages;
    QStringList questions;
    std::deque<bool> answers;

    void message(const QString& text) override { messages << text; }
    bool confirm(const QString& text) override {
        questions << text;
        if (answers.empty())
            return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
};
