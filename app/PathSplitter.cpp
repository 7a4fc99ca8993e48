#include "app/PathSplitter.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The substring rule of the system's string type: out-of-range starts and counts are pulled
// into the text, so an extraction never fails.
std::string Extract(const std::string& text, int start, int count) {
    if (start < 0) start = 0;
    if (count < 0) count = 0;
    const int length = static_cast<int>(text.size());
    if (start >= length) return std::string();
    if (count > length - start) count = length - start;
    return text.substr(static_cast<size_t>(start), static_cast<size_t>(count));
}

}  // namespace

PathSplitter::PathSplitter(const std::string& path, LeadByteTest isLeadByte)
    : isLeadByte(isLeadByte) {
    Reset();
    // The constructor keeps no result: an empty path simply has empty parts.
    static_cast<void>(Split(path));
}

void PathSplitter::Reset() {
    for (int part = 0; part < 4; ++part) {
        partStart[part] = 0;
        partLength[part] = 0;
    }
}

int PathSplitter::CharSize(int i) const {
    return static_cast<int>(AnsiText::CharSize(text, static_cast<size_t>(i), isLeadByte));
}

int PathSplitter::FindFirst(char c) const {
    const int length = static_cast<int>(text.size());
    for (int i = 0; i < length; i += CharSize(i)) {
        if (text[i] == c) return i;
    }
    return -1;
}

int PathSplitter::FindLast(char c) const {
    // Walks forward, because only a forward walk knows which bytes are trail bytes.
    int found = -1;
    const int length = static_cast<int>(text.size());
    for (int i = 0; i < length; i += CharSize(i)) {
        if (text[i] == c) found = i;
    }
    return found;
}

int PathSplitter::Split(const std::string& path) {
    Reset();

    // Trim: leading blanks are single bytes; the trailing end is found by a forward walk so a
    // trail byte is never mistaken for a blank.
    size_t first = 0;
    while (first < path.size() && IsBlank(path[first])) ++first;
    text = path.substr(first);
    int end = 0;
    const int fullLength = static_cast<int>(text.size());
    for (int i = 0; i < fullLength; i += CharSize(i)) {
        if (!IsBlank(text[i])) end = i + CharSize(i);
    }
    text.resize(static_cast<size_t>(end));

    const int length = static_cast<int>(text.size());
    if (length == 0) return 0;

    const int firstBackslash = FindFirst('\\');
    partStart[Directory] = firstBackslash;
    if (firstBackslash == -1) {
        partLength[Drive] = length;
        return 1;
    }

    partLength[Drive] = firstBackslash - partStart[Drive];
    // A doubled backslash at the start of the directory: the first one belongs to no part.
    if (firstBackslash + 1 < length && text[firstBackslash + 1] == '\\') {
        partStart[Directory] = firstBackslash + 1;
    }

    const int lastBackslash = FindLast('\\');
    partStart[Name] = lastBackslash + 1;
    partLength[Directory] = lastBackslash + 1 - partStart[Directory];

    const int lastDot = FindLast('.');
    if (lastDot != -1 && lastDot > partStart[Name]) {
        partStart[Extension] = lastDot;
        partLength[Name] = lastDot - partStart[Name];
        partLength[Extension] = length - lastDot;
    } else {
        partStart[Extension] = 0;
        partLength[Name] = length - partStart[Name];
    }
    return 1;
}

std::string PathSplitter::JoinParts(int lastPart, const char* suffix, int firstPart) const {
    if (lastPart < 0) lastPart = 0;
    if (firstPart < 0) firstPart = 0;
    if (lastPart >= 4) lastPart = 3;
    if (firstPart > lastPart) firstPart = lastPart;

    const int start = partStart[firstPart];
    // The string type would take the -1 of a part not found as 0 and hand out text from the
    // front that belongs to no part of the run.
    if (start < 0) return suffix != nullptr ? std::string(suffix) : std::string();
    const int count = partStart[lastPart] + partLength[lastPart] - start;
    std::string result = Extract(text, start, count);
    if (suffix != nullptr) result += suffix;
    return result;
}
