#include "tests/support/PeFile.h"

#include <cstring>

namespace testing_support {

namespace {

class Reader {
public:
    explicit Reader(const std::string& image) : image(image) {}

    template <typename T>
    bool At(size_t offset, T& value) const {
        if (offset > image.size() || image.size() - offset < sizeof(T)) return false;
        std::memcpy(&value, image.data() + offset, sizeof(T));
        return true;
    }
    // A zero-terminated name that ends inside the file.
    bool NameAt(size_t offset, std::string& name) const {
        if (offset >= image.size()) return false;
        const void* end = std::memchr(image.data() + offset, '\0', image.size() - offset);
        if (end == nullptr) return false;
        name.assign(image.data() + offset, static_cast<const char*>(end));
        return true;
    }

private:
    const std::string& image;
};

struct Section {
    DWORD virtualAddress, virtualSize, rawOffset, rawSize;
};

// The file offset of a relative virtual address; 0 when no section holds it.
size_t OffsetOf(const std::vector<Section>& sections, DWORD rva) {
    for (const Section& s : sections) {
        const DWORD size = s.virtualSize != 0 ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < size &&
            rva - s.virtualAddress < s.rawSize) {
            return rva - s.virtualAddress + s.rawOffset;
        }
    }
    return 0;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

PeFile ReadPeFile(const std::string& image) {
    PeFile pe;
    Reader reader(image);
    auto fail = [&pe](const char* why) {
        pe.valid = false;
        pe.problem = why;
        return pe;
    };

    IMAGE_DOS_HEADER dos;
    if (!reader.At(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return fail("no MZ header");
    const size_t nt = static_cast<size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    if (!reader.At(nt, signature) || signature != IMAGE_NT_SIGNATURE ||
        !reader.At(nt + sizeof(DWORD), file)) {
        return fail("no PE header");
    }
    pe.machine = file.Machine;
    const size_t optional = nt + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    WORD magic = 0;
    if (!reader.At(optional, magic)) return fail("no optional header");
    // The two layouts differ in the width of their addresses, hence in where the directories are.
    const bool wide = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    if (!wide && magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) return fail("unknown optional header");
    // Where the image asks to be loaded, and how much room it takes there.
    if (wide) {
        ULONGLONG base = 0;
        if (!reader.At(optional + offsetof(IMAGE_OPTIONAL_HEADER64, ImageBase), base)) {
            return fail("cut optional header");
        }
        pe.imageBase = base;
    } else {
        DWORD base = 0;
        if (!reader.At(optional + offsetof(IMAGE_OPTIONAL_HEADER32, ImageBase), base)) {
            return fail("cut optional header");
        }
        pe.imageBase = base;
    }
    const size_t sizeOfImage = wide ? offsetof(IMAGE_OPTIONAL_HEADER64, SizeOfImage)
                                    : offsetof(IMAGE_OPTIONAL_HEADER32, SizeOfImage);
    if (!reader.At(optional + sizeOfImage, pe.imageSize)) return fail("cut optional header");
    IMAGE_DATA_DIRECTORY importDirectory;
    const size_t directories = wide ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                    : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    if (!reader.At(
            optional + directories + IMAGE_DIRECTORY_ENTRY_IMPORT * sizeof(IMAGE_DATA_DIRECTORY),
            importDirectory)) {
        return fail("no import directory entry");
    }

    std::vector<Section> sections;
    const size_t firstSection = optional + file.SizeOfOptionalHeader;
    for (WORD i = 0; i < file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER header;
        if (!reader.At(firstSection + i * sizeof(header), header)) return fail("cut section table");
        sections.push_back({header.VirtualAddress, header.Misc.VirtualSize, header.PointerToRawData,
                            header.SizeOfRawData});
    }

    pe.valid = true;
    if (importDirectory.VirtualAddress == 0) return pe;
    size_t at = OffsetOf(sections, importDirectory.VirtualAddress);
    if (at == 0) return fail("import directory outside every section");
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!reader.At(at, descriptor)) return fail("cut import directory");
        if (descriptor.Name == 0) break;
        std::string dll;
        if (!reader.NameAt(OffsetOf(sections, descriptor.Name), dll)) return fail("bad DLL name");
        std::vector<std::string>& functions = pe.imports[Lower(dll)];
        const DWORD lookup = descriptor.OriginalFirstThunk != 0 ? descriptor.OriginalFirstThunk
                                                                : descriptor.FirstThunk;
        size_t thunk = OffsetOf(sections, lookup);
        if (thunk == 0) return fail("import lookup table outside every section");
        for (;; thunk += wide ? 8 : 4) {
            ULONGLONG entry = 0;
            bool ordinal = false;
            if (wide) {
                if (!reader.At(thunk, entry)) return fail("cut import lookup table");
                ordinal = (entry & IMAGE_ORDINAL_FLAG64) != 0;
            } else {
                DWORD narrow = 0;
                if (!reader.At(thunk, narrow)) return fail("cut import lookup table");
                entry = narrow;
                ordinal = (narrow & IMAGE_ORDINAL_FLAG32) != 0;
            }
            if (entry == 0) break;
            if (ordinal) {
                functions.push_back("#" + std::to_string(entry & 0xFFFF));
                continue;
            }
            // A hint word, then the name.
            std::string name;
            const size_t hint = OffsetOf(sections, static_cast<DWORD>(entry & 0x7FFFFFFF));
            if (hint == 0 || !reader.NameAt(hint + sizeof(WORD), name)) {
                return fail("bad import name");
            }
            functions.push_back(name);
        }
    }
    return pe;
}

}  // namespace testing_support
