// STAND-IN for the vendor's FTDI USB driver package (Driver\xp\Lumitactile.exe on the install
// medium). It installs nothing. It exists so that the wizard, its tests and the demo have a
// program to launch that behaves the way the wizard relies on: it opens a top-level window
// titled "FTDI Driver Installation", keeps it open for a while, and then ends.
//
// Told through its environment, which it inherits from Setup.exe:
//   LUMI_STANDIN_PACKAGE_MS        how long it stays, in milliseconds (default 3000)
//   LUMI_STANDIN_PACKAGE_NOWINDOW  "1": stay that long without ever opening a window
//   LUMI_STANDIN_LOG               a log file to which it appends one line per start
// Closing its window (WM_CLOSE) ends it at once.

#include <windows.h>

#include <cstdlib>
#include <string>

#include "tools/machine/Machine.h"
#include "tools/standin/StandinLog.h"

namespace {

// The wizard's kPackageWindowTitle, which the product defines in its worker's object file: linking
// that would bring the whole wizard into the stand-in.
const char* const kWindowTitle = "FTDI Driver Installation";
const char* const kWindowClass = "LumitactileStandinPackage";
const char* const kStayVariable = "LUMI_STANDIN_PACKAGE_MS";
const char* const kNoWindowVariable = "LUMI_STANDIN_PACKAGE_NOWINDOW";

constexpr DWORD kDefaultStayMs = 3000;
// The longest a window timer can run; anything longer is cut to it.
constexpr unsigned long long kLongestStayMs = 0x7FFFFFFF;
constexpr UINT_PTR kStayTimer = 1;

// The stay from the environment; the default when it is unset or not a plain number.
DWORD StayMs() {
    std::string value;
    if (!machine::ReadEnvironment(kStayVariable, value) || value.empty()) return kDefaultStayMs;
    unsigned long long ms = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return kDefaultStayMs;
        ms = ms * 10 + static_cast<unsigned>(c - '0');
        if (ms > kLongestStayMs) ms = kLongestStayMs;
    }
    return static_cast<DWORD>(ms);
}

bool WithoutWindow() {
    std::string value;
    return machine::ReadEnvironment(kNoWindowVariable, value) && value == "1";
}

LRESULT CALLBACK PackageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kStayTimer) {
                static_cast<void>(::KillTimer(window, kStayTimer));
                static_cast<void>(::DestroyWindow(window));
                return 0;
            }
            break;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    // WM_CLOSE goes here too: the default handling destroys the window, which ends the program.
    return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND OpenPackageWindow(HINSTANCE instance, DWORD stayMs) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PackageWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (::RegisterClassA(&windowClass) == 0) return nullptr;

    HWND window = ::CreateWindowExA(0, kWindowClass, kWindowTitle,
                                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 460, 170, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return nullptr;

    const std::string text =
        "STAND-IN for the vendor's FTDI driver package.\r\n"
        "It installs nothing: it only opens this window for the Lumitactile wizard's tests and "
        "demo.\r\nIt closes by itself after " +
        std::to_string(stayMs) + " ms.";
    HWND label = ::CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 12,
                                   12, 420, 100, window, nullptr, instance, nullptr);
    if (label != nullptr) {
        ::SendMessageA(label, WM_SETFONT,
                       reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
    ::ShowWindow(window, SW_SHOW);
    static_cast<void>(::UpdateWindow(window));
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Nobody reads a stand-in's failure to log; the wizard does not look at its exit code.
    static_cast<void>(standin::LogStart("package"));

    const DWORD stayMs = StayMs();
    if (WithoutWindow()) {
        ::Sleep(stayMs);
        return 0;
    }

    HWND window = OpenPackageWindow(instance, stayMs);
    if (window == nullptr || ::SetTimer(window, kStayTimer, stayMs, nullptr) == 0) {
        // Without a window or a timer it still keeps the time it was told, then ends.
        if (window != nullptr) static_cast<void>(::DestroyWindow(window));
        ::Sleep(stayMs);
        return 0;
    }

    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
