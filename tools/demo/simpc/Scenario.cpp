#include "tools/demo/simpc/Scenario.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "tools/machine/Machine.h"

namespace simpc {

namespace {

const char* const kDefaultGroup = "Machine";

// The folder of 32-bit programs is named by "ProgramFiles(x86)" where Windows is 64-bit (for
// programs of either bitness), else by "ProgramFiles".
std::string WithProgramFiles32(const std::string& text) {
    const std::string variable = "%programfiles%";
    std::string program32;
    if (!machine::ReadEnvironment("ProgramFiles(x86)", program32)) return text;
    std::string result = text;
    for (size_t at = Lower(result).find(variable); at != std::string::npos;
         at = Lower(result).find(variable, at + program32.size())) {
        result.replace(at, variable.size(), program32);
    }
    return result;
}

}  // namespace

bool ExpandVariables(const std::string& written, std::string& expanded) {
    const std::string text = WithProgramFiles32(written);
    if (text.find('%') == std::string::npos) {
        expanded = text;
        return true;
    }
    DWORD size = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (size == 0) return false;
    std::string buffer(size, '\0');
    size = ::ExpandEnvironmentStringsA(text.c_str(), &buffer[0], size);
    if (size == 0 || size > buffer.size()) return false;
    buffer.resize(size - 1);
    // An unset variable is left as it was written.
    const size_t percent = buffer.find('%');
    if (percent != std::string::npos && buffer.find('%', percent + 1) != std::string::npos) {
        return false;
    }
    expanded = buffer;
    return true;
}

namespace {

// An absolute path "X:\..." with backslashes and no trailing one (the drive root keeps it).
bool MachinePath(const std::string& written, std::string& path, std::string& problem) {
    std::string expanded;
    if (!ExpandVariables(written, expanded)) {
        problem = "an environment variable in \"" + written + "\" is not set";
        return false;
    }
    std::replace(expanded.begin(), expanded.end(), '/', '\\');
    const bool absolute = expanded.size() >= 3 &&
                          std::isalpha(static_cast<unsigned char>(expanded[0])) &&
                          expanded[1] == ':' && expanded[2] == '\\';
    if (!absolute) {
        problem = "\"" + written + "\" is not an absolute path such as C:\\Program Files\\...";
        return false;
    }
    while (expanded.size() > 3 && expanded.back() == '\\') expanded.pop_back();
    path = expanded;
    return true;
}

bool RegistryPath(const std::string& written, std::string& subkey, std::string& problem) {
    static const char* const kRoots[] = {"HKLM\\", "HKEY_LOCAL_MACHINE\\"};
    for (const char* root : kRoots) {
        const std::string prefix = root;
        if (Lower(written.substr(0, prefix.size())) == Lower(prefix)) {
            subkey = written.substr(prefix.size());
            while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
            if (!subkey.empty() && subkey[0] != '\\') return true;
        }
    }
    problem = "\"" + written + "\" is not a key under HKLM\\";
    return false;
}

bool MediumRelative(const std::string& written, std::string& relative, std::string& problem) {
    relative = written;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    const bool bad = relative.empty() || relative[0] == '\\' ||
                     relative.find(':') != std::string::npos ||
                     ("\\" + relative + "\\").find("\\..\\") != std::string::npos;
    if (bad) {
        problem = "\"" + written + "\" is not a path inside the medium, such as jaws\\Lumitac.jlb";
        return false;
    }
    return true;
}

}  // namespace

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string Lower(const std::string& text) {
    std::string lowered = text;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return lowered;
}

bool IsAtOrBelow(const std::string& path, const std::string& folder) {
    const std::string p = Lower(path);
    std::string f = Lower(folder);
    if (p == f) return true;
    if (f.empty() || f.back() != '\\') f += '\\';
    return p.compare(0, f.size(), f) == 0;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) return std::string();
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

std::vector<Folder> Scenario::WatchedFolders() const {
    std::vector<Folder> all = folders;
    all.insert(all.end(), watched.begin(), watched.end());
    for (const File& file : files) all.push_back(Folder{ParentOf(file.path), file.group});
    std::vector<Folder> unique;
    for (const Folder& folder : all) {
        const bool seen = std::any_of(unique.begin(), unique.end(), [&](const Folder& other) {
            return Lower(other.path) == Lower(folder.path);
        });
        if (!seen) unique.push_back(folder);
    }
    return unique;
}

bool ParseScenario(const std::string& text, const std::string& name, Scenario& scenario,
                   std::string& error) {
    scenario = Scenario();
    scenario.name = name;
    std::string group = kDefaultGroup;
    bool groupUsed = false;
    bool directiveSeen = false;
    RegistryKey* key = nullptr;

    const std::vector<std::string> lines = SplitLines(text);

    auto fail = [&](size_t index, const std::string& what) {
        error = name + ":" + std::to_string(index + 1) + ": " + what;
        return false;
    };
    // The lines after line i up to a line "end", each ended by CR LF; i moves to the "end".
    auto readContent = [&](size_t& i, std::string& content) {
        size_t j = i + 1;
        for (; j < lines.size() && Trim(lines[j]) != "end"; ++j) content += lines[j] + "\r\n";
        if (j == lines.size()) return false;
        i = j;
        return true;
    };
    auto useGroup = [&]() {
        if (!groupUsed) {
            scenario.groups.push_back(group);
            groupUsed = true;
        }
        return group;
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (line.empty()) continue;
        if (line[0] == '#') {
            if (!directiveSeen) {
                if (!scenario.description.empty()) scenario.description += "\n";
                scenario.description += Trim(line.substr(1));
            }
            continue;
        }
        directiveSeen = true;
        const size_t blank = line.find_first_of(" \t");
        const std::string directive = line.substr(0, blank);
        const std::string argument = blank == std::string::npos ? "" : Trim(line.substr(blank));
        std::string problem;

        if (directive == "windows") {
            if (!scenario.windows.empty()) return fail(i, "the Windows version is given twice");
            const size_t gap = argument.find_first_of(" \t");
            const std::string bits = gap == std::string::npos ? "" : Trim(argument.substr(gap));
            if (argument.empty() || (!bits.empty() && bits != "64-bit")) {
                return fail(i, "expected a version such as winxp, and 64-bit or nothing after it");
            }
            scenario.windows = argument.substr(0, gap);
            scenario.windows64 = !bits.empty();
        } else if (directive == "group") {
            if (argument.empty()) return fail(i, "a group needs a name");
            group = argument;
            groupUsed = std::find(scenario.groups.begin(), scenario.groups.end(), group) !=
                        scenario.groups.end();
        } else if (directive == "key" || directive == "key64") {
            RegistryKey added;
            if (!RegistryPath(argument, added.subkey, problem)) return fail(i, problem);
            added.view64 = directive == "key64";
            if (added.view64 && !scenario.windows64) {
                return fail(i, "key64 needs a \"windows <version> 64-bit\" line before it");
            }
            added.group = useGroup();
            scenario.keys.push_back(added);
            key = &scenario.keys.back();
        } else if (directive == "value" || directive == "expand-value") {
            if (key == nullptr) return fail(i, "a value needs a key line before it");
            const size_t equals = argument.find('=');
            if (equals == std::string::npos) return fail(i, "expected value <name> = <data>");
            RegistryValue value{Trim(argument.substr(0, equals)), std::string()};
            const std::string data = Trim(argument.substr(equals + 1));
            if (value.name.empty()) return fail(i, "a value needs a name (@ for the default)");
            // Installers write their folders expanded, as %ProgramFiles% is on this machine,
            // unless they store them for expansion.
            value.expand = directive == "expand-value";
            if (value.expand) {
                value.data = data;
            } else if (!ExpandVariables(data, value.data)) {
                return fail(i, "an environment variable in \"" + data + "\" is not set");
            }
            if (value.name == "@") value.name.clear();
            key->values.push_back(value);
        } else if (directive == "folder" || directive == "watch") {
            Folder folder;
            if (!MachinePath(argument, folder.path, problem)) return fail(i, problem);
            folder.group = useGroup();
            (directive == "folder" ? scenario.folders : scenario.watched).push_back(folder);
        } else if (directive == "file") {
            File file;
            if (!MachinePath(argument, file.path, problem)) return fail(i, problem);
            if (file.path.size() <= 3) return fail(i, "a file needs a name");
            file.group = useGroup();
            if (!readContent(i, file.content)) {
                return fail(i, "the file's content has no line \"end\"");
            }
            scenario.files.push_back(file);
        } else if (directive == "readonly") {
            std::string path;
            if (!MachinePath(argument, path, problem)) return fail(i, problem);
            auto file = std::find_if(scenario.files.begin(), scenario.files.end(),
                                     [&](const File& f) { return Lower(f.path) == Lower(path); });
            if (file == scenario.files.end()) {
                return fail(i, "readonly names a file the scenario has not created above");
            }
            file->readOnly = true;
        } else if (directive == "hold") {
            std::string path;
            if (!MachinePath(argument, path, problem)) return fail(i, problem);
            scenario.held.push_back(path);
        } else if (directive == "medium-remove") {
            std::string relative;
            if (!MediumRelative(argument, relative, problem)) return fail(i, problem);
            scenario.mediumRemovals.push_back(relative);
        } else if (directive == "medium-file") {
            File file;
            if (!MediumRelative(argument, file.path, problem)) return fail(i, problem);
            if (!readContent(i, file.content)) {
                return fail(i, "the file's content has no line \"end\"");
            }
            scenario.mediumFiles.push_back(file);
        } else if (directive == "medium-readonly") {
            if (!argument.empty()) return fail(i, "medium-readonly takes nothing after it");
            scenario.mediumReadOnly = true;
        } else if (directive == "expect") {
            if (argument.empty()) return fail(i, "expect needs a status text");
            scenario.expectedStatus.push_back(argument);
        } else if (directive == "expect-exit") {
            if (argument.size() != 1 || argument[0] < '0' || argument[0] > '9') {
                return fail(i, "expect-exit needs an exit code such as 0");
            }
            scenario.expectedExit = argument[0] - '0';
        } else if (directive == "end") {
            return fail(i, "\"end\" without a file line before it");
        } else {
            return fail(i, "unknown directive \"" + directive + "\"");
        }
    }
    return true;
}

bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error) {
    std::string text;
    if (!machine::ReadWholeFile(path, text)) {
        error = "cannot read the scenario " + path;
        return false;
    }
    return ParseScenario(text, path, scenario, error);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace simpc
