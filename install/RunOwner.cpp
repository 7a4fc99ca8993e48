#include "install/RunOwner.h"

#include "install/InstallLog.h"

bool RunOwner::Tell(const char* text, const char* firstPrompt, const char* secondPrompt) {
    if (IsClosing()) {
        InstallLog::Write("status " + InstallLog::Quoted(text) +
                          " not shown: the wizard was closed");
        return false;
    }
    ShowStatus(text);
    InstallLog::Write("status " + InstallLog::Quoted(text));
    for (const char* prompt : {firstPrompt, secondPrompt}) {
        if (prompt == nullptr || IsClosing()) continue;
        Prompts().Play(prompt);
    }
    return true;
}

bool RunOwner::TellFailure(const char* text, const char* prompt) {
    const bool shown = Tell(text, prompt);
    if (shown) failureTold.store(true);
    return shown;
}
