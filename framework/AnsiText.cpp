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

}  // namespace AnsiText
