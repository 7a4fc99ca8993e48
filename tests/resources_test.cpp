#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <utility>

#include "app/MainDialog.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr WORD kKorean = MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);
static_assert(kKorean == 1042, "every resource is in language 1042");

std::string ResourceBytes(LPCSTR type, LPCSTR name) {
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceExA(module, type, name, kKorean);
    if (found == nullptr) return std::string();
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    return std::string(data, ::SizeofResource(module, found));
}

TEST(Resources, AllLiveInLanguage1042) {
    EXPECT_FALSE(ResourceBytes(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN)).empty());
    EXPECT_FALSE(ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAIN)).empty());
    EXPECT_FALSE(ResourceBytes(RT_BITMAP, MAKEINTRESOURCEA(IDB_BACKGROUND)).empty());
    EXPECT_FALSE(ResourceBytes(RT_STRING, MAKEINTRESOURCEA(IDS_ABOUTBOX / 16 + 1)).empty());
    EXPECT_FALSE(ResourceBytes(RT_MANIFEST, MAKEINTRESOURCEA(1)).empty());
    EXPECT_FALSE(ResourceBytes(RT_VERSION, MAKEINTRESOURCEA(1)).empty());
}

TEST(Resources, TheMenuStringReadsBackExactly) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleA(nullptr), IDS_ABOUTBOX,
                                     reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_GT(length, 0);
    EXPECT_EQ(std::wstring(L"Canvasholder \xC815\xBCF4(&A)...").size(),
              static_cast<size_t>(length));
    EXPECT_EQ(std::wstring(L"Canvasholder \xC815\xBCF4(&A)..."),
              std::wstring(text, static_cast<size_t>(length)));
}

TEST(Resources, TheManifestAsksForCommonControls6AndAdministrator) {
    const std::string manifest = ResourceBytes(RT_MANIFEST, MAKEINTRESOURCEA(1));
    for (const char* part :
         {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
          "processorArchitecture=\"x86\"",
          "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
          "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"
          "</requestedPrivileges></security></trustInfo>"}) {
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
    }
    // The v3 namespace is declared once: other forms keep the program from starting on XP.
    const std::string v3 = "urn:schemas-microsoft-com:asm.v3";
    EXPECT_EQ(manifest.find(v3), manifest.rfind(v3));
}

TEST(Resources, VersionIs1001WithAKoreanBlock) {
    std::string block = ResourceBytes(RT_VERSION, MAKEINTRESOURCEA(1));
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwProductVersionLS);
    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(&block[0], "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &size));
    EXPECT_EQ(0x0412, translation[0]);
    EXPECT_EQ(949, translation[1]);
    char* value = nullptr;
    EXPECT_TRUE(::VerQueryValueA(&block[0], "\\StringFileInfo\\041203b5\\FileVersion",
                                 reinterpret_cast<void**>(&value), &size));
}

TEST(Resources, TheBackgroundIs638By467At24Bits) {
    HBITMAP bitmap = ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BACKGROUND));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info;
    ::GetObjectA(bitmap, sizeof(info), &info);
    EXPECT_EQ(638, info.bmWidth);
    EXPECT_EQ(467, info.bmHeight);
    ::DeleteObject(bitmap);
    // The stored picture's own depth, before any conversion to the screen's.
    const std::string bytes = ResourceBytes(RT_BITMAP, MAKEINTRESOURCEA(IDB_BACKGROUND));
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(24, reinterpret_cast<const BITMAPINFOHEADER*>(bytes.data())->biBitCount);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, TheIconHas48_32_16PixelsAt4_8_24Bits) {
    const std::string group = ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAIN));
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(group.size(), 6u + count * sizeof(GroupIconEntry));
    std::set<std::pair<int, int>> images;
    for (WORD i = 0; i < count; ++i) {
        const auto* entry =
            reinterpret_cast<const GroupIconEntry*>(group.data() + 6 + i * sizeof(GroupIconEntry));
        images.insert({entry->width, entry->bitCount});
    }
    std::set<std::pair<int, int>> expected;
    for (int size : {48, 32, 16}) {
        for (int bits : {4, 8, 24}) expected.insert({size, bits});
    }
    EXPECT_EQ(expected, images);
}

TEST(Resources, TheDialogTemplateGivesTheWizardItsLayout) {
    testing_support::OpenDialog dialog;
    HWND window = dialog->GetSafeHwnd();
    char caption[64] = {};
    ::GetWindowTextA(window, caption, sizeof(caption));
    EXPECT_STREQ("Lumitactile Driver Installation ", caption);
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
              style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
    EXPECT_EQ(0, style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_NE(0, ::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    const struct {
        int id;
        const char* className;
        const char* text;
        LONG styles;
        bool visible;
        RECT units;
    } controls[] = {
        {IDC_INSTALL, "Button", "Install", WS_TABSTOP | BS_DEFPUSHBUTTON, true, {294, 204, 50, 16}},
        // An edit control takes WS_BORDER out of its style and draws the border itself.
        {IDC_STATUS, "Edit", "", WS_TABSTOP | ES_AUTOHSCROLL, false, {14, 168, 330, 31}},
        {IDC_CLOSE_BUTTON,
         "Button",
         "Cancel",
         WS_TABSTOP | BS_PUSHBUTTON,
         true,
         {294, 224, 50, 16}},
    };
    HWND previous = nullptr;
    for (const auto& c : controls) {
        HWND control = ::GetDlgItem(window, c.id);
        ASSERT_NE(nullptr, control) << c.id;
        char className[32] = {}, text[32] = {};
        ::GetClassNameA(control, className, sizeof(className));
        ::GetWindowTextA(control, text, sizeof(text));
        EXPECT_STRCASEEQ(c.className, className) << c.id;
        EXPECT_STREQ(c.text, text) << c.id;
        const LONG controlStyle = ::GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(c.styles, controlStyle & c.styles) << c.id;
        EXPECT_EQ(c.visible, (controlStyle & WS_VISIBLE) != 0) << c.id;
        if (c.id == IDC_STATUS) {
            EXPECT_EQ(0, controlStyle & (ES_READONLY | ES_MULTILINE)) << "editable, single line";
        }
        // Position and size in dialog units, each converted on its own as the dialog does.
        RECT expected = c.units;
        ::MapDialogRect(window, &expected);
        RECT actual;
        ::GetWindowRect(control, &actual);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(expected.left, actual.left) << c.id;
        EXPECT_EQ(expected.top, actual.top) << c.id;
        EXPECT_EQ(expected.right, actual.right - actual.left) << c.id;
        EXPECT_EQ(expected.bottom, actual.bottom - actual.top) << c.id;
        // Tab order is the order of the controls in the template.
        EXPECT_EQ(control, ::GetWindow(previous == nullptr ? window : previous,
                                       previous == nullptr ? GW_CHILD : GW_HWNDNEXT));
        previous = control;
    }
}

// The names of the DLLs a PE file imports, read from its import directory.
std::set<std::string> ImportedDlls(const std::string& image) {
    std::set<std::string> names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return 0;
    };
    for (size_t at = offsetOf(imports.VirtualAddress); at != 0;
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor =
            reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (descriptor->Name == 0) break;
        std::string name = image.data() + offsetOf(descriptor->Name);
        for (char& c : name) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        names.insert(name);
    }
    return names;
}

TEST(SetupExe, ImportsOnlySystemDllsAndNeverWinmm) {
    const std::string image =
        testing_support::ReadTextFile(testing_support::TestProgramFolder() + "\\..\\Setup.exe");
    ASSERT_FALSE(image.empty()) << "Setup.exe is built beside the tests folder";
    const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                           "advapi32.dll", "msvcrt.dll", "comctl32.dll"};
    const std::set<std::string> imported = ImportedDlls(image);
    EXPECT_FALSE(imported.empty());
    for (const std::string& name : imported) EXPECT_EQ(1u, allowed.count(name)) << name;
}

}  // namespace
