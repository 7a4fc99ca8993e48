#include "tools/demo/simpc/Transcript.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/InstallWorker.h"
#include "tools/demo/simpc/Scenario.h"

namespace simpc {

namespace {

// What Wine 8 writes when an edit control's text is set, and when a sound starts playing.
const char* const kSetTextMarker = ":trace:edit:EDIT_WM_SetText L\"";
const char* const kPlaySoundMarker = ":trace:winmm:proc_PlaySound SoundName=L\"";
// The edit control receiving WM_SHOWWINDOW: shown (wparam 1) or hidden (wparam 0).
const char* const kShowWindowMarker = ":trace:edit:EDIT_WindowProc hwnd ";
const char* const kShowWindowMessage = ", msg 0x18, wparam ";

// The text of a debug string L"..." that starts at from (just after the opening quote):
// Wine escapes backslashes, quotes, control characters and non-ASCII characters.
std::string DebugString(const std::string& line, size_t from) {
    std::string text;
    for (size_t i = from; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') break;
        if (c != '\\' || i + 1 >= line.size()) {
            text += c;
            continue;
        }
        const char next = line[++i];
        switch (next) {
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'x': {
                const size_t digits = std::min<size_t>(4, line.size() - i - 1);
                const unsigned long code =
                    std::strtoul(line.substr(i + 1, digits).c_str(), nullptr, 16);
                text += code < 256 ? static_cast<char>(code) : '?';
                i += digits;
                break;
            }
            default:
                text += next;
        }
    }
    return text;
}

// The trace's timestamp, "1234.567:...", in milliseconds; false for other lines.
bool TraceTick(const std::string& line, long long& tick) {
    const size_t colon = line.find(':');
    const size_t dot = line.find('.');
    if (colon == std::string::npos || dot == std::string::npos || dot > colon || dot == 0 ||
        colon - dot != 4) {
        return false;
    }
    const std::string seconds = line.substr(0, dot);
    const std::string millis = line.substr(dot + 1, 3);
    if (seconds.find_first_not_of(" 0123456789") != std::string::npos ||
        millis.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    tick = std::atoll(seconds.c_str()) * 1000 + std::atoll(millis.c_str());
    return true;
}

bool IsVerdict(const std::string& text) {
    return text == kRestartText || text == kNoScreenReaderText;
}

}  // namespace

std::vector<std::string> SettledTexts(const std::vector<std::string>& texts) {
    std::vector<std::string> settled;
    for (size_t i = 0; i < texts.size(); ++i) {
        const bool cutShort = i + 1 < texts.size() && texts[i].size() < texts[i + 1].size() &&
                              texts[i + 1].compare(0, texts[i].size(), texts[i]) == 0;
        if (!cutShort) settled.push_back(texts[i]);
    }
    return settled;
}

std::string RunReport::Problem() const {
    if (RanToEnd()) return std::string();
    if (!started) return "the UI driver could not start Setup.exe or press its \"Install\" button";
    if (timedOut) return "Setup.exe did not end within the time limit and was stopped";
    if (!ended) return "the UI driver lost Setup.exe before it ended";
    if (verdict.empty()) {
        return "Setup.exe ended (exit code " + std::to_string(exitCode) +
               ") before it told its verdict";
    }
    return "Setup.exe ended without hiding its status box after the verdict";
}

RunReport ReadRun(const std::string& driverOutput, const std::string& trace) {
    RunReport report;
    // Within one millisecond: the press, then the trace in its own order (the wizard's moments),
    // then what the UI driver noticed by polling.
    struct Timed {
        long ms;
        int order;
        std::string text;
    };
    constexpr int kTraced = 1000000;
    constexpr int kPolled = 2000000;
    std::vector<Timed> timed;
    std::vector<std::string> polledTexts;
    std::vector<Timed> polledStatus;
    bool tickKnown = false;
    long long pressTick = 0;
    // The status box's visibility: true shown, false hidden.
    std::vector<std::pair<Timed, bool>> polledVisibility;
    std::vector<std::pair<Timed, bool>> tracedVisibility;
    std::vector<std::string> errors;

    for (const std::string& line : SplitLines(driverOutput)) {
        if (line.compare(0, 13, "install-tick ") == 0) {
            pressTick = std::atoll(line.c_str() + 13);
            tickKnown = true;
            report.started = true;
            continue;
        }
        if (line.compare(0, 11, "wizard-pid ") == 0) {
            report.wizardPid = std::strtoul(line.c_str() + 11, nullptr, 10);
            continue;
        }
        if (line.compare(0, 6, "error ") == 0) {
            errors.push_back(line.substr(6));
            continue;
        }
        if (line == "timeout") {
            report.timedOut = true;
            continue;
        }
        const size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        const long ms = std::atol(line.substr(0, blank).c_str());
        const size_t kindEnd = line.find(' ', blank + 1);
        const std::string kind = line.substr(blank + 1, kindEnd - blank - 1);
        const std::string rest = kindEnd == std::string::npos ? "" : line.substr(kindEnd + 1);
        const int order = kPolled + static_cast<int>(timed.size() + polledStatus.size());
        if (kind == "status") {
            polledTexts.push_back(rest);
            polledStatus.push_back(Timed{ms, order, rest});
        } else if (kind == "status-shown" || kind == "status-hidden") {
            polledVisibility.emplace_back(Timed{ms, order, ""}, kind == "status-shown");
        } else if (kind == "window") {
            const std::string what =
                rest == kPackageWindowTitle ? " (the driver package)" : std::string();
            timed.push_back(Timed{ms, order, "window    \"" + rest + "\" opened" + what});
        } else if (kind == "exit") {
            report.ended = true;
            report.exitCode = std::strtoul(rest.c_str(), nullptr, 10);
            report.endMs = ms;
            timed.push_back(Timed{ms, order, "          Setup.exe ended (exit code " + rest + ")"});
        }
    }

    // Texts and prompts from the trace carry the wizard's own moments.
    std::vector<Timed> tracedStatus;
    int traceLine = 0;
    for (const std::string& line : SplitLines(trace)) {
        long long tick = 0;
        if (!TraceTick(line, tick)) continue;
        const long ms = tickKnown ? static_cast<long>(tick - pressTick) : 0;
        const int order = kTraced + traceLine++;
        size_t at = line.find(kSetTextMarker);
        if (at != std::string::npos) {
            tracedStatus.push_back(
                Timed{ms, order, DebugString(line, at + std::string(kSetTextMarker).size())});
            continue;
        }
        at = line.find(kShowWindowMarker);
        if (at != std::string::npos) {
            const size_t message = line.find(kShowWindowMessage, at);
            if (message != std::string::npos) {
                const char shown = line[message + std::string(kShowWindowMessage).size()];
                tracedVisibility.emplace_back(Timed{ms, order, ""}, shown != '0');
            }
            continue;
        }
        at = line.find(kPlaySoundMarker);
        if (at != std::string::npos) {
            const std::string prompt = DebugString(line, at + std::string(kPlaySoundMarker).size());
            report.prompts.push_back(prompt);
            if (tickKnown) timed.push_back(Timed{ms, order, "prompt    " + prompt});
        }
    }
    // Without the edit control's trace, the texts the UI driver read back stand in.
    std::vector<Timed> statuses = tracedStatus;
    if (statuses.empty()) {
        const std::vector<std::string> settled = SettledTexts(polledTexts);
        size_t next = 0;
        for (const Timed& status : polledStatus) {
            if (next < settled.size() && status.text == settled[next]) {
                statuses.push_back(status);
                ++next;
            }
        }
    }
    for (const Timed& status : statuses) {
        report.statusTexts.push_back(status.text);
        timed.push_back(Timed{status.ms, status.order, "status    \"" + status.text + "\""});
    }
    // Hidden at the end after having been shown; the trace has the wizard's own moments.
    const auto& visibility = tracedVisibility.empty() ? polledVisibility : tracedVisibility;
    bool shown = false;
    for (const auto& [when, visible] : visibility) {
        if (visible) {
            shown = true;
        } else if (shown) {
            timed.push_back(Timed{when.ms, when.order, "          status box hidden"});
        }
    }
    report.statusHidden = shown && !visibility.empty() && !visibility.back().second;
    if (!report.statusTexts.empty() && IsVerdict(report.statusTexts.back())) {
        report.verdict = report.statusTexts.back();
    }

    if (report.started) timed.push_back(Timed{0, -2, "          \"Install\" pressed"});
    for (const std::string& error : errors) timed.push_back(Timed{0, -3, "error     " + error});
    std::stable_sort(timed.begin(), timed.end(), [](const Timed& a, const Timed& b) {
        if (a.ms != b.ms) return a.ms < b.ms;
        return a.order < b.order;
    });
    for (const Timed& entry : timed) report.transcript.push_back({entry.ms, entry.text});
    return report;
}

std::string LastLogBlock(const std::string& log) {
    const size_t heading = log.rfind("==== Lumitactile Setup ");
    return heading == std::string::npos ? std::string() : log.substr(heading);
}

std::string FormatTranscript(const RunReport& report) {
    std::string text;
    char number[32];
    for (const TranscriptLine& line : report.transcript) {
        std::snprintf(number, sizeof(number), "%8ld ms  ", line.ms);
        text += number + line.text + "\n";
    }
    return text;
}

}  // namespace simpc
