#pragma once

#include <string>
#include <vector>

// What the wizard showed and played during one run, read from outside: from the UI driver's
// event lines and from Wine's debug traces of the edit control and of the sound functions.
namespace simpc {

struct TranscriptLine {
    long ms;           // since "Install" was pressed
    std::string text;  // e.g. "status  Welcome ..." or "prompt  sound\start.wav"
};

struct RunReport {
    std::vector<TranscriptLine> transcript;
    std::vector<std::string> statusTexts;  // in order, as the user saw them
    std::vector<std::string> prompts;      // in the order they started, e.g. "sound\start.wav"
    bool started = false;                  // the driver found the wizard and pressed "Install"
    bool ended = false;                    // the wizard ended by itself within the time limit
    bool timedOut = false;
    unsigned long exitCode = 0;
    bool statusHidden = false;    // the status box was hidden after it had been shown
    std::string verdict;          // the verdict text shown, empty when none was
    long endMs = -1;              // when the wizard ended
    unsigned long wizardPid = 0;  // the wizard's process id, as the traces name it (0: unknown)

    // The wizard ran to its end: it told a verdict, hid its status box and ended by itself.
    bool RanToEnd() const { return ended && statusHidden && !verdict.empty(); }
    // One line that says why the run did not reach its end (empty when it did).
    std::string Problem() const;
};

// Builds the report from simpc's run.log (UI driver event lines and the lines
// "install-tick <ms>" and "wizard-pid <id>") and the Wine trace written meanwhile
// (+timestamp,+edit,+winmm).
RunReport ReadRun(const std::string& driverOutput, const std::string& trace);

std::string FormatTranscript(const RunReport& report);

// The last run's block of an installation log: from its last heading line to the end; empty
// when the log has none.
std::string LastLogBlock(const std::string& log);

// Status texts as read back from the edit control, without the half-changed texts a poll can
// catch while the text is being replaced (a text cut short that the next one begins with).
std::vector<std::string> SettledTexts(const std::vector<std::string>& texts);

}  // namespace simpc
