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
    // The same box with a second, smaller text that says why: the box keeps the tool's own
    // text ("Communication Error！") and the detail names the cause (a locked record file).
    virtual void message(const QString& text, const QString& detail) = 0;
    // A question box with Yes and No; true only for Yes ("Are you sure?").
    virtual bool confirm(const QString& text) = 0;
};

// Records every message with its detail (empty for none) and answers confirmations from a
// queue (No when the queue is empty).
class ScriptedPrompts : public PromptService {
public:
    QStringList messages;
    QStringList details; // one per message: clear both together (clear())
    QStringList questions;
    std::deque<bool> answers;

    void message(const QString& text) override { message(text, QString()); }
    void message(const QString& text, const QString& detail) override {
        messages << text;
        details << detail;
    }
    void clear() {
        messages.clear();
        details.clear();
    }
    bool confirm(const QString& text) override {
        questions << text;
        if (answers.empty())
            return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
};
