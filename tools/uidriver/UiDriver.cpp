#include "tools/uidriver/UiDriver.h"

#include <psapi.h>

#include <algorithm>

#include "tools/machine/Machine.h"

namespace uidriver {

namespace {

constexpr DWORD kPollMs = 10;
// The working set is sampled less often than the window: its peak only ever grows.
constexpr int kPollsPerMemorySample = 10;
// A wizard that does not answer a message within this time is treated as showing nothing new.
constexpr UINT kAnswerTimeoutMs = 1000;
constexpr DWORD kKillWaitMs = 5000;

std::string WindowTitle(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) return std::string();
    std::string title(static_cast<size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(window, &title[0], length + 1);
    title.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return title;
}

// A control's text read with WM_GETTEXT, which the platform carries across processes (the
// title GetWindowTextA reads for another program's edit control is not its current text). The
// text may grow between asking its length and reading it, so a full buffer is read again with
// more room.
bool ControlText(HWND control, std::string& text) {
    DWORD_PTR length = 0;
    if (::SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                              &length) == 0) {
        return false;
    }
    std::string buffer(length + 2, '\0');
    for (;;) {
        DWORD_PTR got = 0;
        if (::SendMessageTimeoutA(control, WM_GETTEXT, buffer.size(),
                                  reinterpret_cast<LPARAM>(&buffer[0]), SMTO_ABORTIFHUNG,
                                  kAnswerTimeoutMs, &got) == 0) {
            return false;
        }
        if (got + 1 < buffer.size()) {
            text.assign(buffer.data(), got);
            return true;
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
}

// Compared without regard to case, like FindWindowA.
bool SameTitle(HWND window, const char* title) {
    return ::lstrcmpiA(WindowTitle(window).c_str(), title) == 0;
}

struct WindowSearch {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchOwnWindow(HWND window, LPARAM argument) {
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(argument);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !::IsWindowVisible(window)) return TRUE;
    if (!SameTitle(window, search.caption)) return TRUE;
    search.found = window;
    return FALSE;
}

// What the driver last saw of the wizard; events are the differences from one poll to the next.
struct Snapshot {
    std::string status;
    bool statusVisible = false;
    bool installEnabled = true;
};

}  // namespace

std::string FormatEvent(const Event& event) {
    static const char* const kNames[] = {
        "status",          "status-shown", "status-hidden", "install-disabled",
        "install-enabled", "window",       "exit"};
    if (event.kind == Event::kTimeout) return "timeout";
    std::string line = std::to_string(event.ms) + " " + kNames[event.kind];
    if (event.kind == Event::kWindow) line += " " + event.text;
    if (event.kind == Event::kExit) line += " " + std::to_string(event.exitCode);
    if (event.kind == Event::kStatus) {
        line += ' ';
        for (char c : event.text) {
            line += c == '\r'   ? std::string("\\r")
                    : c == '\n' ? std::string("\\n")
                                : std::string(1, c);
        }
    }
    return line;
}

bool Outcome::InstallStayedDisabled() const {
    bool disabled = false;
    for (const Event& event : events) {
        if (event.kind == Event::kInstallDisabled) disabled = true;
        if (event.kind == Event::kInstallEnabled) disabled = false;
    }
    return disabled;
}

std::vector<std::string> Outcome::StatusTexts() const {
    std::vector<std::string> texts;
    for (const Event& event : events) {
        if (event.kind == Event::kStatus) texts.push_back(event.text);
    }
    return texts;
}

UiDriver::UiDriver() = default;

UiDriver::~UiDriver() {
    if (process && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) Kill();
}

bool UiDriver::Start(const Launch& launch) {
    if (process) {
        error = "a program was already started";
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created = {};
    std::string commandLine = "\"" + launch.exe + "\"";
    // The program inherits the launch's variables, set in the driver's own environment for the
    // moment of the start and then put back as they were.
    struct Previous {
        std::string name;
        bool set;
        std::string value;
    };
    std::vector<Previous> previous;
    for (const std::string& entry : launch.environment) {
        const size_t equals = entry.find('=');
        Previous old{entry.substr(0, equals), false, std::string()};
        old.set = machine::ReadEnvironment(old.name.c_str(), old.value);
        previous.push_back(old);
        ::SetEnvironmentVariableA(old.name.c_str(), entry.c_str() + equals + 1);
    }
    const BOOL started = ::CreateProcessA(
        launch.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
        launch.currentFolder.empty() ? nullptr : launch.currentFolder.c_str(), &startup, &created);
    const DWORD startError = ::GetLastError();
    ::QueryPerformanceCounter(&startedAt);
    for (auto old = previous.rbegin(); old != previous.rend(); ++old) {
        ::SetEnvironmentVariableA(old->name.c_str(), old->set ? old->value.c_str() : nullptr);
    }
    if (!started) {
        error = "cannot start " + launch.exe + " (error " + std::to_string(startError) + ")";
        return false;
    }
    process.Reset(created.hProcess);
    UniqueHandle thread(created.hThread);
    processId = created.dwProcessId;
    return true;
}

long UiDriver::SinceStart() const {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<long>((now.QuadPart - startedAt.QuadPart) * 1000 / frequency.QuadPart);
}

HWND UiDriver::FindOwnWindow(const char* caption) const {
    WindowSearch search{processId, caption, nullptr};
    ::EnumWindows(MatchOwnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND UiDriver::WaitForWindow(const char* caption, DWORD timeoutMs) {
    if (!process) return nullptr;
    const long deadline = SinceStart() + static_cast<long>(timeoutMs);
    for (;;) {
        if (HWND found = FindOwnWindow(caption)) {
            window = found;
            foundAtMs = SinceStart();
            return found;
        }
        if (::WaitForSingleObject(process.Get(), kPollMs) != WAIT_TIMEOUT) return nullptr;
        if (SinceStart() >= deadline) return nullptr;
    }
}

bool UiDriver::PressInstall() {
    if (window == nullptr) return false;
    return ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED),
                          reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_INSTALL))) != 0;
}

bool UiDriver::SendCommand(int id) {
    if (window == nullptr) return false;
    return ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != 0;
}

bool UiDriver::Close() {
    if (window == nullptr) return false;
    return ::PostMessageA(window, WM_CLOSE, 0, 0) != 0;
}

Outcome UiDriver::Run(const Plan& plan, DWORD timeLimitMs,
                      const std::function<void(const Event&)>& onEvent) {
    Outcome outcome;
    if (!process) return outcome;

    long originMs = 0;  // events are timed from here
    bool originSet = false;
    bool pressed = false;
    long actionBaseMs = -1;  // the moment timed actions count from, once known
    std::vector<bool> commandDone(plan.commands.size(), false);
    bool closeDone = false;
    Snapshot seen;
    int polls = 0;

    auto record = [&](Event::Kind kind, const std::string& text = std::string(),
                      DWORD exitCode = 0) {
        Event event{kind, SinceStart() - originMs, text, exitCode};
        outcome.events.push_back(event);
        if (onEvent) onEvent(outcome.events.back());
    };

    // A window found earlier under another caption is not the one this plan drives.
    if (window != nullptr && !SameTitle(window, plan.caption.c_str())) {
        window = nullptr;
    }
    for (;;) {
        if (window == nullptr) {
            window = FindOwnWindow(plan.caption.c_str());
            if (window != nullptr) foundAtMs = SinceStart();
        }
        if (window != nullptr) {
            outcome.windowFound = true;
            if (!plan.pressInstall && !originSet) {
                originMs = foundAtMs;
                originSet = true;
            }
        }

        if (window != nullptr && plan.pressInstall && !pressed) {
            originMs = SinceStart();
            originSet = true;
            pressed = PressInstall();
        }

        if (window != nullptr && ::IsWindow(window)) {
            // The text is read first: the program answers it only between two of its own
            // messages, so what is read after it never shows a handler half done.
            HWND statusBox = ::GetDlgItem(window, IDC_STATUS);
            std::string text;
            const bool textRead = statusBox != nullptr && ControlText(statusBox, text);
            const bool visible =
                statusBox != nullptr && (::GetWindowLongA(statusBox, GWL_STYLE) & WS_VISIBLE) != 0;
            HWND install = ::GetDlgItem(window, IDC_INSTALL);
            const bool enabled = install != nullptr && ::IsWindowEnabled(install) != 0;
            // A window that went away meanwhile shows nothing more: its controls read as gone.
            const bool stillThere = ::IsWindow(window) != 0;

            // In the order a reader takes them in: the box appears, a text shows in it, the box
            // goes.
            const bool visibilityChanged =
                stillThere && statusBox != nullptr && visible != seen.statusVisible;
            if (visibilityChanged && visible) record(Event::kStatusShown);
            if (stillThere && textRead && text != seen.status) {
                seen.status = text;
                record(Event::kStatus, text);
            }
            if (visibilityChanged && !visible) record(Event::kStatusHidden);
            if (visibilityChanged) seen.statusVisible = visible;
            if (stillThere && install != nullptr && enabled != seen.installEnabled) {
                seen.installEnabled = enabled;
                record(enabled ? Event::kInstallEnabled : Event::kInstallDisabled);
            }
        }

        if (originSet && actionBaseMs < 0) {
            if (plan.afterWindow.empty()) {
                actionBaseMs = originMs;
            } else if (::FindWindowA(nullptr, plan.afterWindow.c_str()) != nullptr) {
                actionBaseMs = SinceStart();
                record(Event::kWindow, plan.afterWindow);
            }
        }
        if (actionBaseMs >= 0 && window != nullptr) {
            const long elapsed = SinceStart() - actionBaseMs;
            for (size_t i = 0; i < plan.commands.size(); ++i) {
                if (!commandDone[i] && elapsed >= plan.commands[i].atMs) {
                    commandDone[i] = SendCommand(plan.commands[i].id);
                }
            }
            if (plan.closeAtMs >= 0 && !closeDone && elapsed >= plan.closeAtMs) {
                closeDone = Close();
            }
        }

        if (++polls % kPollsPerMemorySample == 1) static_cast<void>(SamplePeakWorkingSet());

        if (::WaitForSingleObject(process.Get(), kPollMs) != WAIT_TIMEOUT) {
            DWORD exitCode = 0;
            static_cast<void>(::GetExitCodeProcess(process.Get(), &exitCode));
            outcome.ended = true;
            outcome.exitCode = exitCode;
            record(Event::kExit, std::string(), exitCode);
            break;
        }
        if (SinceStart() >= static_cast<long>(timeLimitMs)) {
            Kill();
            record(Event::kTimeout);
            break;
        }
    }

    outcome.actionsDone =
        (!plan.pressInstall || pressed) &&
        std::all_of(commandDone.begin(), commandDone.end(), [](bool done) { return done; }) &&
        (plan.closeAtMs < 0 || closeDone);
    return outcome;
}

bool UiDriver::WaitForExit(DWORD timeoutMs, DWORD& exitCode) {
    if (!process) return false;
    if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        Kill();
        return false;
    }
    return ::GetExitCodeProcess(process.Get(), &exitCode) != 0;
}

long UiDriver::CpuMs() const {
    FILETIME created, exited, kernel, user;
    if (!process || !::GetProcessTimes(process.Get(), &created, &exited, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<long>((ticks(kernel) + ticks(user)) / 10000);  // 100 ns units
}

SIZE_T UiDriver::SamplePeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters;
    ZeroMemory(&counters, sizeof(counters));
    counters.cb = sizeof(counters);
    if (::GetProcessMemoryInfo(process.Get(), &counters, sizeof(counters))) {
        peakWorkingSet = std::max(peakWorkingSet, counters.PeakWorkingSetSize);
    }
    return peakWorkingSet;
}

void UiDriver::Kill() {
    static_cast<void>(::TerminateProcess(process.Get(), 1));
    static_cast<void>(::WaitForSingleObject(process.Get(), kKillWaitMs));
}

}  // namespace uidriver
