#include "tests/support/ProfileWriteLog.h"

#include <algorithm>
#include <cctype>
#include <cstring>
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

template <typename T>
T At(BYTE* base, DWORD offset) {
    return reinterpret_cast<T>(base + offset);
}

}  // namespace

ScopedImportHook::ScopedImportHook(const char* dll, const char* function, void* replacement) {
    BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = At<const IMAGE_NT_HEADERS*>(base, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* descriptor = At<IMAGE_IMPORT_DESCRIPTOR*>(base, imports.VirtualAddress);
         descriptor->Name != 0 && slot == nullptr; ++descriptor) {
        if (_stricmp(At<const char*>(base, descriptor->Name), dll) != 0) continue;
        auto* names = At<IMAGE_THUNK_DATA*>(base, descriptor->OriginalFirstThunk);
        auto* addresses = At<IMAGE_THUNK_DATA*>(base, descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                At<const IMAGE_IMPORT_BY_NAME*>(base, static_cast<DWORD>(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                slot = reinterpret_cast<void**>(&addresses->u1.Function);
                break;
            }
        }
    }
    if (slot == nullptr) return;
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    original = *slot;
    *slot = replacement;
    ::VirtualProtect(slot, sizeof(void*), protection, &protection);
}

ScopedImportHook::~ScopedImportHook() {
    if (slot == nullptr) return;
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    *slot = original;
    ::VirtualProtect(slot, sizeof(void*), protection, &protection);
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
