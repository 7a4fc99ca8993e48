#include "tests/support/ProfileWriteLog.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace testing_support {

namespace {

ProfileWriteLog* current = nullptr;
using WriteStringFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
using WriteSectionFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR);
WriteStringFn platformWriteString = nullptr;
WriteSectionFn platformWriteSection = nullptr;

BOOL WINAPI RecordedWriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (current != nullptr) {
        if (section == nullptr && key == nullptr && value == nullptr && file == nullptr) {
            current->Flush();
        } else {
            current->Write(file);
        }
    }
    return platformWriteString(section, key, value, file);
}

BOOL WINAPI RecordedWriteSection(LPCSTR section, LPCSTR lines, LPCSTR file) {
    if (current != nullptr) current->Write(file);
    return platformWriteSection(section, lines, file);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

BOOL WINAPI SectionWriteThatNeverReachesTheFile(LPCSTR, LPCSTR, LPCSTR) {
    return TRUE;
}

BOOL WINAPI StringWriteThatNeverReachesTheFile(LPCSTR, LPCSTR, LPCSTR, LPCSTR) {
    return TRUE;
}

ProfileWriteLog::ProfileWriteLog()
    : stringWrites("kernel32.dll", "WritePrivateProfileStringA",
                   reinterpret_cast<void*>(&RecordedWriteString)),
      sectionWrites("kernel32.dll", "WritePrivateProfileSectionA",
                    reinterpret_cast<void*>(&RecordedWriteSection)) {
    platformWriteString = reinterpret_cast<WriteStringFn>(stringWrites.Original());
    platformWriteSection = reinterpret_cast<WriteSectionFn>(sectionWrites.Original());
    current = this;
}

ProfileWriteLog::~ProfileWriteLog() {
    current = nullptr;
}

void ProfileWriteLog::Mark(const std::string& what) {
    events.push_back(Event{Event::kMark, what});
}

void ProfileWriteLog::Write(const char* file) {
    events.push_back(Event{Event::kWrite, file != nullptr ? file : ""});
}

void ProfileWriteLog::Flush() {
    ++flushes;
    events.push_back(Event{Event::kFlush, std::string()});
}

std::vector<std::string> ProfileWriteLog::Breaches() const {
    std::vector<std::string> breaches;
    if (!stringWrites.IsHooked() || !sectionWrites.IsHooked()) {
        breaches.push_back("the profile writes could not be watched");
        return breaches;
    }
    std::set<std::string> waiting;  // files with writes since the last flush
    auto waitingText = [&]() {
        std::string text;
        for (const std::string& file : waiting) text += (text.empty() ? "" : ", ") + file;
        return text;
    };
    for (const Event& event : events) {
        switch (event.kind) {
            case Event::kWrite:
                if (!waiting.empty() && waiting.count(Lower(event.text)) == 0) {
                    breaches.push_back("written to " + event.text + " with " + waitingText() +
                                       " still in the cache");
                }
                waiting.insert(Lower(event.text));
                break;
            case Event::kFlush:
                waiting.clear();
                break;
            case Event::kMark:
                if (!waiting.empty()) {
                    breaches.push_back(event.text + " with " + waitingText() + " in the cache");
                }
                break;
        }
    }
    if (!waiting.empty()) breaches.push_back("the end with " + waitingText() + " in the cache");
    return breaches;
}

}  // namespace testing_support
