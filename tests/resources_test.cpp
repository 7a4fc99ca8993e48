// The resources and imports of both builds of Setup.exe, read from the files themselves: the
// shipped i686 one (a 64-bit process loads a 32-bit file as data to read its resources) and the
// bench's x86_64 one. A check that passed only on the bench's file would say nothing of what
// ships. The live dialog is built from the test program's own copy of the same resources.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <utility>

#include "res/resource.h"
#include "tests/support/PeFile.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr WORD kKorean = MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);
static_assert(kKorean == 1042, "every resource is in language 1042");

struct Build {
    const char* name;
    bool shipped;
    WORD machine;
    const char* processor;  // in the manifest's dependency on common controls 6
};

std::string SetupPath(const Build& build) {
    return build.shipped ? std::string(LUMI_SHIPPED_SETUP)
                         : testing_support::MediumFolder() + "\\Setup.exe";
}

std::string ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
    HRSRC found = ::FindResourceExA(module, type, name, kKorean);
    if (found == nullptr) return std::string();
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    return data == nullptr ? std::string() : std::string(data, ::SizeofResource(module, found));
}

// One build's Setup.exe, loaded as data for its resources and read as bytes for its headers.
class SetupFile : public testing::TestWithParam<Build> {
protected:
    void SetUp() override {
        path = SetupPath(GetParam());
        image = testing_support::ReadTextFile(path);
        ASSERT_FALSE(image.empty()) << "no " << path << " (make build builds both trees)";
        module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << path << ": error " << ::GetLastError();
    }
    void TearDown() override {
        if (module != nullptr) ::FreeLibrary(module);
    }
    std::string Resource(LPCSTR type, LPCSTR name) const {
        return ResourceBytes(module, type, name);
    }

    std::string path;
    std::string image;
    HMODULE module = nullptr;
};

INSTANTIATE_TEST_SUITE_P(
    Builds, SetupFile,
    testing::Values(Build{"shipped_i686", true, IMAGE_FILE_MACHINE_I386, "x86"},
                    Build{"bench_x86_64", false, IMAGE_FILE_MACHINE_AMD64, "amd64"}),
    [](const testing::TestParamInfo<Build>& info) { return std::string(info.param.name); });

TEST_P(SetupFile, IsBuiltForItsProcessor) {
    const testing_support::PeFile pe = testing_support::ReadPeFile(image);
    ASSERT_TRUE(pe.valid) << pe.problem;
    EXPECT_EQ(GetParam().machine, pe.machine);
}

TEST_P(SetupFile, ImportsOnlySystemDllsAndNeverWinmm) {
    const testing_support::PeFile pe = testing_support::ReadPeFile(image);
    ASSERT_TRUE(pe.valid) << pe.problem;
    const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                           "advapi32.dll", "msvcrt.dll", "comctl32.dll"};
    EXPECT_FALSE(pe.imports.empty());
    for (const auto& [dll, functions] : pe.imports) EXPECT_EQ(1u, allowed.count(dll)) << dll;
}

TEST_P(SetupFile, AllResourcesLiveInLanguage1042) {
    EXPECT_FALSE(Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN)).empty());
    EXPECT_FALSE(Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAIN)).empty());
    EXPECT_FALSE(Resource(RT_BITMAP, MAKEINTRESOURCEA(IDB_BACKGROUND)).empty());
    EXPECT_FALSE(Resource(RT_STRING, MAKEINTRESOURCEA(IDS_ABOUTBOX / 16 + 1)).empty());
    EXPECT_FALSE(Resource(RT_MANIFEST, MAKEINTRESOURCEA(1)).empty());
    EXPECT_FALSE(Resource(RT_VERSION, MAKEINTRESOURCEA(1)).empty());
}

TEST_P(SetupFile, TheMenuStringReadsBackExactly) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module, IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_GT(length, 0);
    EXPECT_EQ(std::wstring(L"Canvasholder \xC815\xBCF4(&A)..."),
              std::wstring(text, static_cast<size_t>(length)));
}

TEST_P(SetupFile, TheManifestAsksForCommonControls6ForItsProcessorAndForAdministrator) {
    const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
    const std::string processor =
        std::string("processorArchitecture=\"") + GetParam().processor + "\"";
    const std::string controls =
        "<assemblyIdentity type=\"win32\" "
        "name=\"Microsoft.Windows.Common-Controls\" "
        "version=\"6.0.0.0\" " +
        processor;
    for (const std::string& part :
         {controls, std::string("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security>"
                                "<requestedPrivileges><requestedExecutionLevel "
                                "level=\"requireAdministrator\" uiAccess=\"false\"/>"
                                "</requestedPrivileges></security></trustInfo>")}) {
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
    }
    // The v3 namespace is declared once: other forms keep the program from starting on XP.
    const std::string v3 = "urn:schemas-microsoft-com:asm.v3";
    EXPECT_EQ(manifest.find(v3), manifest.rfind(v3));
}

TEST_P(SetupFile, VersionIs1001WithAKoreanBlock) {
    std::string block = Resource(RT_VERSION, MAKEINTRESOURCEA(1));
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

TEST_P(SetupFile, TheBackgroundIs638By467At24Bits) {
    // The stored picture's own header, before any conversion to the screen's depth.
    const std::string bytes = Resource(RT_BITMAP, MAKEINTRESOURCEA(IDB_BACKGROUND));
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    memcpy(&header, bytes.data(), sizeof(header));
    EXPECT_EQ(638, header.biWidth);
    EXPECT_EQ(467, header.biHeight);
    EXPECT_EQ(24, header.biBitCount);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_P(SetupFile, TheIconHas48_32_16PixelsAt4_8_24Bits) {
    const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAIN));
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

// The live dialog below is built from the test program's own template; each file must carry
// that very template.
TEST_P(SetupFile, CarriesTheDialogTemplateTheLiveDialogIsCheckedWith) {
    const std::string own =
        ResourceBytes(::GetModuleHandleA(nullptr), RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN));
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own, Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN)));
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

    // The font the platform made from the template: "MS Shell Dlg" at 8 points, normal weight,
    // not italic, the default character set. Every size below is measured through it, so it is
    // looked at first.
    LOGFONTA font = {};
    ASSERT_EQ(static_cast<int>(sizeof(font)),
              ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)),
                           sizeof(font), &font));
    HDC screen = ::GetDC(window);
    const int pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(window, screen);
    EXPECT_STREQ("MS Shell Dlg", font.lfFaceName);
    EXPECT_EQ(-::MulDiv(8, pixelsPerInch, 72), font.lfHeight);
    EXPECT_EQ(FW_NORMAL, font.lfWeight);
    EXPECT_EQ(0, font.lfItalic);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
    // 360 by 310 dialog units of client area.
    RECT size = {0, 0, 360, 310};
    ::MapDialogRect(window, &size);
    RECT client;
    ::GetClientRect(window, &client);
    EXPECT_EQ(size.right, client.right);
    EXPECT_EQ(size.bottom, client.bottom);

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
            // Its border, which the platform draws around the box's client area (a dialog
            // turns an edit control's WS_BORDER into a client edge).
            RECT box, inside;
            ::GetWindowRect(control, &box);
            ::GetClientRect(control, &inside);
            EXPECT_GT(box.right - box.left, inside.right) << "the status box has no border";
            EXPECT_GT(box.bottom - box.top, inside.bottom) << "the status box has no border";
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

// ---- What the shipped file asks of the Windows it starts on -----------------------------------

// The lines of a list file but those that start with "#" (its source); empty when it cannot
// be read.
std::set<std::string> Lines(const std::string& path) {
    std::set<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') lines.insert(line);
    }
    return lines;
}

// "AppendMenuW", "LoadLibraryExW": the wide twin of an ANSI call.
bool IsWideName(const std::string& function) {
    const size_t n = function.size();
    return n > 1 && function[n - 1] == 'W' &&
           (::islower(static_cast<unsigned char>(function[n - 2])) ||
            ::isdigit(static_cast<unsigned char>(function[n - 2])));
}

testing_support::PeFile ShippedImports() {
    return testing_support::ReadPeFile(testing_support::ReadTextFile(LUMI_SHIPPED_SETUP));
}

// A loader refuses a program that imports a function its DLL does not export, before a line of
// the program runs; Wine exports everything whatever version it emulates, so only the list can
// tell.
TEST(ShippedSetupExe, ImportsOnlyFunctionsThatWindowsXpExports) {
    const testing_support::PeFile pe = ShippedImports();
    ASSERT_TRUE(pe.valid) << pe.problem;
    const std::string lists = LUMI_XP_EXPORTS;
    const std::set<std::string> later = Lines(lists + "/later.txt");
    ASSERT_FALSE(later.empty());
    std::string refused;
    for (const auto& [dll, functions] : pe.imports) {
        const std::string base = dll.substr(0, dll.rfind('.'));
        const std::set<std::string> exported = Lines(lists + "/" + base + ".txt");
        if (exported.empty()) {
            refused += "\n  " + dll + ": no list of what Windows XP's " + dll + " exports";
            continue;
        }
        for (const std::string& function : functions) {
            if (exported.count(function) != 0) continue;
            refused += "\n  " + dll + " " + function;
            if (later.count(base + " " + function) != 0)
                refused += " (needs Windows Vista or later)";
        }
    }
    EXPECT_TRUE(refused.empty()) << "Windows XP does not export what Setup.exe imports:" << refused;
}

// Windows 98's and 95's loaders refuse a missing export just as XP's does. Checked: kernel32,
// advapi32, comctl32 and msvcrt against Windows 98 (msvcrt as first shipped with it, 5.0,
// which lacks a few names of 98 SE's 6.0), and kernel32 against Windows 95 too (Windows 95
// as first sold has no msvcrt.dll at all; the README says which update brings it). No list
// of Windows 9x's user32 and gdi32 could be trusted; what the wizard takes from them is
// Windows 95's own interface.
//
// Windows 9x exports most wide functions as stubs that fail with ERROR_CALL_NOT_IMPLEMENTED:
// they load, and do nothing. None of ours is wide (below); the runtime's three are harmless
// there. CreateSemaphoreW comes from libgcc's win32 thread-model locks, which make their
// semaphore only for a thread that has to wait: uncontended locks (function-local statics
// first reached on one thread, no exceptions) never use it. GetModuleHandleW and
// LoadLibraryW come from the C runtime's run-time look-ups of newer msvcrt functions (the
// code page query, rand_s), which take their own fallback when the look-up fails. Any other
// wide import of the runtime is named as an offender, to be looked at the same way.
TEST(ShippedSetupExe, ImportsOnlyFunctionsThatWindows98And95Export) {
    const testing_support::PeFile pe = ShippedImports();
    ASSERT_TRUE(pe.valid) << pe.problem;
    const std::string lists = LUMI_W9X_EXPORTS;
    const struct {
        const char* dll;
        const char* list;
        const char* system;
    } checks[] = {
        {"kernel32.dll", "kernel32.txt", "Windows 98"},
        {"kernel32.dll", "kernel32-win95.txt", "Windows 95"},
        {"advapi32.dll", "advapi32.txt", "Windows 98"},
        {"comctl32.dll", "comctl32.txt", "Windows 98"},
        {"msvcrt.dll", "msvcrt-win98fe.txt", "Windows 98 (MSVCRT 5.0)"},
    };
    const std::set<std::string> unlisted = {"user32.dll", "gdi32.dll"};
    const std::set<std::string> harmlessWide = {"CreateSemaphoreW", "GetModuleHandleW",
                                                "LoadLibraryW"};
    std::string refused;
    for (const auto& [dll, functions] : pe.imports) {
        bool checked = unlisted.count(dll) != 0;
        for (const auto& check : checks) {
            if (dll != check.dll) continue;
            checked = true;
            const std::set<std::string> exported = Lines(lists + "/" + check.list);
            if (exported.empty()) {
                refused += "\n  " + dll + ": no list of what " + check.system + " exports";
                continue;
            }
            for (const std::string& function : functions) {
                if (exported.count(function) == 0) {
                    refused += "\n  " + dll + " " + function + ": not in " + check.system;
                }
            }
        }
        if (!checked) {
            refused += "\n  " + dll + ": no list of what Windows 9x's " + dll + " exports";
        }
        for (const std::string& function : functions) {
            if (IsWideName(function) && harmlessWide.count(function) == 0) {
                refused += "\n  " + dll + " " + function + ": a wide function, a stub on 9x";
            }
        }
    }
    EXPECT_TRUE(refused.empty()) << "Windows 98 and 95 do not provide what Setup.exe imports:"
                                 << refused;
}

// Windows 95/98/ME implement few wide functions, and a missing export stops the loader. The C
// runtime's own few (above) exist there as stubs; none may be ours.
TEST(ShippedSetupExe, ImportsNoWideFunctionFromOurOwnCode) {
    const testing_support::PeFile pe = ShippedImports();
    ASSERT_TRUE(pe.valid) << pe.problem;
    const std::set<std::string> own = Lines(LUMI_SHIPPED_OWN_IMPORTS);
    ASSERT_FALSE(own.empty()) << "no list of our own code's imports: " << LUMI_SHIPPED_OWN_IMPORTS;
    std::string wide;
    std::string ours;
    for (const auto& [dll, functions] : pe.imports) {
        for (const std::string& function : functions) {
            if (!IsWideName(function)) continue;
            wide += " " + dll + ":" + function;
            if (own.count(function) != 0) ours += " " + dll + ":" + function;
        }
    }
    RecordProperty("WideImports", wide);
    std::printf("wide functions imported by the shipped Setup.exe:%s\n", wide.c_str());
    EXPECT_TRUE(ours.empty()) << "our own code imports wide functions:" << ours;
}

}  // namespace
