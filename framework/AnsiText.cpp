#include "framework/AnsiText.h"

#include <windows.h>

namespace AnsiText {

bool SystemLeadByte(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

size_t CharSize(const std::string& text, size_t i, LeadByteTest isLeadByte) {
    if (i + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[i]))) return 2;
    return 1;
}

bool EndsInBackslash(const std::string& text, LeadByteTest isLeadByte) {
    // Only a walk from the front knows which bytes are trail bytes.
    size_t last = std::string::npos;
    for (size_t i = 0; i < text.size(); i += CharSize(text, i, isLeadByte)) last = i;
    return last != std::string::npos && text[last] == '\\' && CharSize(text, last, isLeadByte) == 1;
}

bool Contains(const std::string& text, const std::string& needle, LeadByteTest isLeadByte) {
    for (size_t i = 0; i < text.size(); i += CharSize(text, i, isLeadByte)) {
        if (text.compare(i, needle.size(), needle) == 0) return true;
    }
    return false;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b, LeadByteTest isLeadByte) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        const size_t size = CharSize(a, i, isLeadByte);
        if (size != CharSize(b, i, isLeadByte)) return false;
        if (size == 2) {
            if (a.compare(i, 2, b, i, 2) != 0) return false;
        } else {
            // A single character is folded by the system itself (its high word zero).
            const auto upper = [](char c) {
                return reinterpret_cast<UINT_PTR>(::CharUpperA(
                    reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<unsigned char>(c)))));
            };
            if (upper(a[i]) != upper(b[i])) return false;
        }
        i += size;
    }
    return true;
}

std::string WithoutClosingBackslashes(const std::string& path, LeadByteTest isLeadByte) {
    // A trail byte that looks like a backslash is never cut.
    size_t keep = 0;
    for (size_t i = 0; i < path.size();) {
        const size_t next = i + CharSize(path, i, isLeadByte);
        if (next - i == 2 || path[i] != '\\') keep = next;
        i = next;
    }
    if (keep == 2 && path[1] == ':' && path.size() > 2) keep = 3;
    return path.substr(0, keep);
}

}  // namespace AnsiText
