#pragma once

#include <atomic>
#include <string>

#include "install/OsKind.h"
#include "install/PromptPlayer.h"

// What a step of an installation run needs from the wizard, and nothing more: a path on the
// install medium, whether the user has closed the wizard, the status box, the prompt player,
// the Windows family and whether that Windows is 64-bit. The patchers, the patch toolkit and the
// driver removal command reach the wizard only through it; the dialog implements it.
class RunOwner {
public:
    // The medium's root followed by relative (which begins with a backslash). False, with path
    // empty, when the root is unknown: no path is ever built from nothing.
    [[nodiscard]] virtual bool MediumPath(const char* relative, std::string& path) const = 0;
    // The user has closed the wizard: the step in progress ends normally and nothing after it
    // starts, texts and prompts included.
    [[nodiscard]] virtual bool IsClosing() const = 0;
    // Replaces the status box's text.
    virtual void ShowStatus(const char* text) = 0;
    // Every prompt of the run goes through this player.
    virtual PromptPlayer& Prompts() = 0;
    // The Windows family the run is on: one of the OsKindValue values.
    [[nodiscard]] virtual int RunningOsKind() const = 0;
    // 64-bit Windows, where 32-bit and 64-bit programs keep their registry keys in views of
    // their own; decided once per run.
    [[nodiscard]] virtual bool Is64BitWindows() const = 0;

    // Tells the user one step's outcome: the text in the status box, then each prompt played
    // to its end. Nothing is shown or played once the user has closed the wizard. True when the
    // text was shown.
    bool Tell(const char* text, const char* firstPrompt, const char* secondPrompt = nullptr);
    // The same for a failure: an outcome that leaves the display unusable (a patch that failed,
    // a driver package that could not be started). The run's exit code tells that one was told.
    bool TellFailure(const char* text, const char* prompt);
    [[nodiscard]] bool FailureTold() const { return failureTold.load(); }

protected:
    ~RunOwner() = default;

private:
    std::atomic<bool> failureTold{false};
};
