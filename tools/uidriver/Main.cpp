// uidriver: starts a wizard, presses its buttons and prints what it shows, one line per event,
// for the demo, the benchmark and the end-to-end checks. See Usage() for the command line.

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/uidriver/UiDriver.h"

namespace {

constexpr long kDefaultTimeoutS = 60;
// Exit codes.
constexpr int kEnded = 0;      // the program ended by itself within the limit, plan carried out
constexpr int kTimedOut = 1;   // the limit passed; the program was killed
constexpr int kNotDriven = 2;  // it could not be started, or ended before the plan was done
constexpr int kBadCommandLine = 3;

void Usage() {
    std::fputs(
        "usage: uidriver --exe <path> [--cwd <folder>] [--env NAME=VALUE]...\n"
        "                [--caption <title>] [--press-install] [--command <id>[@<ms>]]...\n"
        "                [--close-after <ms>] [--after-window <title>] [--timeout <s>]\n"
        "Starts the program (Windows paths; under Wine `winepath -w` converts), finds its\n"
        "top-level window (default caption: the wizard's), carries out the actions and prints\n"
        "one line per event: \"<ms> status <text>\", \"<ms> status-shown\", \"<ms> "
        "status-hidden\",\n"
        "\"<ms> install-disabled\", \"<ms> install-enabled\", \"<ms> window <title>\",\n"
        "\"<ms> exit <code>\", \"timeout\". Times count from Install being pressed (from the "
        "window\n"
        "being found when it is not); with --after-window, commands and the close count from\n"
        "that window's appearance. The time limit (default 60 s) counts from the start.\n"
        "Exit code: 0 the program ended by itself within the limit; 1 timeout (killed);\n"
        "2 not started, or it ended before the actions were done; 3 bad command line.\n",
        stderr);
}

// A whole non-negative decimal number that fits a long.
bool ParseNumber(const std::string& text, long& number) {
    if (text.empty() || text.size() > 9) return false;
    number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    return true;
}

bool ParseCommand(const std::string& text, uidriver::Plan::Command& command) {
    const size_t at = text.find('@');
    long id = 0;
    long ms = 0;
    if (!ParseNumber(text.substr(0, at), id) || id > 0xFFFF) return false;
    if (at != std::string::npos && !ParseNumber(text.substr(at + 1), ms)) return false;
    command = uidriver::Plan::Command{static_cast<int>(id), ms};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Lines go to Linux scripts too: no carriage returns added to them.
    static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));

    uidriver::Launch launch;
    uidriver::Plan plan;
    long timeoutS = kDefaultTimeoutS;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : "";
        bool good = true;
        if (option == "--press-install") {
            plan.pressInstall = true;
            continue;
        }
        if (!hasValue) {
            good = false;
        } else if (option == "--exe") {
            launch.exe = value;
        } else if (option == "--cwd") {
            launch.currentFolder = value;
        } else if (option == "--env") {
            good = value.find('=') != std::string::npos && value[0] != '=';
            launch.environment.push_back(value);
        } else if (option == "--caption") {
            plan.caption = value;
        } else if (option == "--command") {
            uidriver::Plan::Command command{};
            good = ParseCommand(value, command);
            plan.commands.push_back(command);
        } else if (option == "--close-after") {
            good = ParseNumber(value, plan.closeAtMs);
        } else if (option == "--after-window") {
            plan.afterWindow = value;
        } else if (option == "--timeout") {
            good = ParseNumber(value, timeoutS) && timeoutS > 0 && timeoutS <= 24 * 3600;
        } else {
            good = false;
        }
        if (!good) {
            std::fprintf(stderr, "uidriver: bad option %s\n", option.c_str());
            Usage();
            return kBadCommandLine;
        }
        ++i;
    }
    if (launch.exe.empty()) {
        Usage();
        return kBadCommandLine;
    }

    uidriver::UiDriver driver;
    if (!driver.Start(launch)) {
        std::fprintf(stderr, "uidriver: %s\n", driver.Error().c_str());
        return kNotDriven;
    }
    const uidriver::Outcome outcome =
        driver.Run(plan, static_cast<DWORD>(timeoutS) * 1000, [](const uidriver::Event& event) {
            std::printf("%s\n", uidriver::FormatEvent(event).c_str());
            std::fflush(stdout);
        });

    if (!outcome.ended) {
        std::fprintf(stderr, "uidriver: %s did not end within %ld s and was stopped\n",
                     launch.exe.c_str(), timeoutS);
        return kTimedOut;
    }
    if (!outcome.actionsDone) {
        std::fprintf(stderr, "uidriver: %s ended before %s\n", launch.exe.c_str(),
                     outcome.windowFound ? "every action was done" : "its window appeared");
        return kNotDriven;
    }
    return kEnded;
}
