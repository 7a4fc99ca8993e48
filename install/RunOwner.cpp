#include "install/RunOwner.h"

void RunOwner::Tell(const char* text, const char* firstPrompt, const char* secondPrompt) {
    if (IsClosing()) return;
    ShowStatus(text);
    for (const char* prompt : {firstPrompt, secondPrompt}) {
        if (prompt == nullptr || IsClosing()) continue;
        Prompts().Play(prompt);
    }
}
