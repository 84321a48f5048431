#pragma once

#include <functional>

class PromptService;

// Runs a button handler from a click. A handler that fails (a record table that cannot be
// used) must not unwind into the event loop: its error text is shown instead, as the window
// system's default error report would. Handlers that run as the next step of a sequence are
// called directly, so their failure reaches the reply intake, which reports it.
void runClick(PromptService& prompts, const std::function<void()>& handler);
