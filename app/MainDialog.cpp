#include "app/MainDialog.h"

#include "app/InstallWorker.h"
#include "app/PathSplitter.h"
#include "framework/PlatformStrings.h"
#include "framework/Thread.h"
#include "install/DriverRemoval.h"
#include "res/resource.h"

namespace {

// The longest path the platform can name (32,767 characters) with its terminator; a module
// path is read in a buffer grown up to it.
constexpr DWORD kLongestPath = 32768;

// How often a close cuts off prompts again while it waits for the run's threads.
constexpr DWORD kCutOffRepeatMs = 10;

// String 101 as ANSI text, read whole; empty when it cannot be loaded.
std::string LoadAboutTextA(HINSTANCE instance) {
    // A string resource holds at most 65,535 characters, two bytes each at the most.
    return ReadWhole(
        [instance](char* buffer, DWORD size) {
            const int length =
                ::LoadStringA(instance, IDS_ABOUTBOX, buffer, static_cast<int>(size));
            return length > 0 ? static_cast<DWORD>(length) : 0;
        },
        64, 131072, 1);
}

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

WideMenuCalls SystemWideMenuCalls() {
    WideMenuCalls calls;
    if (HMODULE user = ::GetModuleHandleA("user32.dll")) {
        calls.loadString = Lookup<WideMenuCalls::LoadStringWFn>(user, "LoadStringW");
        calls.appendMenu = Lookup<WideMenuCalls::AppendMenuWFn>(user, "AppendMenuW");
    }
    return calls;
}

void AppendAboutItem(HMENU menu, HINSTANCE instance, const WideMenuCalls& wide) {
    std::wstring wideText;
    if (wide.loadString != nullptr && wide.appendMenu != nullptr) {
        // Size 0 hands out the resource's own text, which is not zero-terminated.
        const wchar_t* text = nullptr;
        const int length =
            wide.loadString(instance, IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&text), 0);
        if (length > 0 && text != nullptr) wideText.assign(text, static_cast<size_t>(length));
    }
    std::string ansiText;
    if (wideText.empty()) {
        ansiText = LoadAboutTextA(instance);
        if (ansiText.empty()) return;
    }
    // A menu that refuses the separator still gets the item.
    static_cast<void>(::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr));
    if (!wideText.empty()) {
        if (wide.appendMenu(menu, MF_STRING, IDM_ABOUTBOX, wideText.c_str())) return;
        ansiText = LoadAboutTextA(instance);  // a stub that is not implemented
        if (ansiText.empty()) return;
    }
    // Whether the system menu took the item changes nothing else in the wizard.
    static_cast<void>(::AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, ansiText.c_str()));
}

int ClassifyOsKind(DWORD majorVersion, DWORD platformId, int current) {
    if (majorVersion >= 6) return kOsKind6OrLater;
    switch (platformId) {
        case VER_PLATFORM_WIN32s:
            return kOsKindWin32s;
        case VER_PLATFORM_WIN32_WINDOWS:
            return kOsKindWindows9x;
        case VER_PLATFORM_WIN32_NT:
            return kOsKindNtBefore6;
        default:
            return current;
    }
}

bool Is64BitWindowsWith(bool programIs64Bit, IsWow64ProcessFn isWow64, HANDLE process) {
    if (programIs64Bit) return true;
    BOOL wow64 = FALSE;
    return isWow64 != nullptr && isWow64(process, &wow64) && wow64;
}

IsWow64ProcessFn SystemIsWow64Process() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return kernel != nullptr ? Lookup<IsWow64ProcessFn>(kernel, "IsWow64Process") : nullptr;
}

std::string ModulePathWith(ModuleFileNameQuery query) {
    // The platform fills the whole buffer, cut, when the path does not fit.
    return ReadWhole([query](char* buffer, DWORD size) { return query(nullptr, buffer, size); },
                     MAX_PATH, kLongestPath);
}

std::string ProgramDirFromModulePath(const std::string& modulePath) {
    if (modulePath.empty()) return std::string();
    PathSplitter splitter(modulePath);
    // A path on a share keeps both leading backslashes, so the medium is still found there.
    if (splitter.Text().compare(0, 2, "\\\\") == 0) return splitter.JoinParts(1, nullptr, 0);
    return splitter.GetDrive() + splitter.GetDirectory();
}

MainDialog::MainDialog(HWND parent)
    : BitmapBackgroundDialog(IDD_MAIN, parent),
      icon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN))),
      closingEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

MainDialog::~MainDialog() {
    static_cast<void>(Finish());
}

int MainDialog::Finish() {
    if (finished) return exitCode.load();
    finished = true;
    // However the dialog ended (Esc ends it without WM_CLOSE), nothing the worker can reach
    // goes away while it runs, and the code is read only once it has ended.
    if (!workerSentClose.load()) LogClose();
    StopRun();
    const int code = exitCode.load();
    InstallLog::Write("the wizard ends, exit code " + std::to_string(code) +
                      (code == kExitClosed ? " (closed by the user before the verdict)" : ""));
    return code;
}

int MainDialog::DetectOsKind() {
    return DetectOsKindWith(&::GetVersionExA);
}

int MainDialog::DetectOsKindWith(VersionQuery query) {
    OSVERSIONINFOEXA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    OSVERSIONINFOA* record = reinterpret_cast<OSVERSIONINFOA*>(&version);
    if (!query(record)) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!query(record)) return 0;
    }
    InstallLog::Write("Windows reports version " + std::to_string(version.dwMajorVersion) + "." +
                      std::to_string(version.dwMinorVersion) + "." +
                      std::to_string(version.dwBuildNumber & 0xFFFF) + ", platform " +
                      std::to_string(version.dwPlatformId) + " " +
                      InstallLog::Quoted(version.szCSDVersion));
    OsKind = ClassifyOsKind(version.dwMajorVersion, version.dwPlatformId, OsKind);
    return 1;
}

void MainDialog::Detect64BitWindows() {
    windows64 =
        Is64BitWindowsWith(sizeof(void*) == 8, SystemIsWow64Process(), ::GetCurrentProcess());
}

bool MainDialog::MediumPath(const char* relative, std::string& path) const {
    if (ProgramDir.empty()) {
        path.clear();
        return false;
    }
    path = ProgramDir + relative;
    return true;
}

void MainDialog::ShowStatus(const char* text) {
    // A status box that refuses its text leaves the prompt to tell the step.
    static_cast<void>(::SetDlgItemTextA(runWindow, IDC_STATUS, text));
}

void MainDialog::SetWatcherThread(UniqueHandle watcher) {
    watcherThread = std::move(watcher);
}

bool MainDialog::IsWatcherRunning() const {
    return watcherThread && ::WaitForSingleObject(watcherThread.Get(), 0) == WAIT_TIMEOUT;
}

void MainDialog::EnterStep(const char* name) {
    step.store(name);
    InstallLog::Write(std::string("-- ") + name);
}

void MainDialog::LogThisPc() const {
    InstallLog::Write("OsKind " + std::to_string(OsKind) + ", " +
                      (windows64 ? "64-bit Windows" : "32-bit Windows"));
    InstallLog::Write("ProgramDir " + InstallLog::Quoted(ProgramDir));
    const std::string current = CurrentFolder();
    InstallLog::Write("current folder " +
                      InstallLog::Quoted(current.empty() ? "(unknown)" : current));
}

void MainDialog::LogClose() {
    if (closeLogged) return;
    closeLogged = true;
    InstallLog::Write(std::string("closed by the user during ") + step.load());
}

void MainDialog::EndRun() {
    static_cast<void>(::ShowWindow(::GetDlgItem(runWindow, IDC_STATUS), SW_HIDE));
    // The close below is the run's own: WM_CLOSE must not wait for the worker that sends it.
    workerSentClose.store(true);
    InstallLog::Write("the run is over: the wizard closes itself");
    static_cast<void>(::SendMessageA(runWindow, WM_CLOSE, 0, 0));
}

bool MainDialog::OnMessage(const Message& message, LRESULT& result) {
    static const Row<MainDialog> rows[] = {
        On(WM_SYSCOMMAND, &MainDialog::OnSysCommand),
        On(WM_PAINT, &MainDialog::OnPaint),
        On(WM_QUERYDRAGICON, &MainDialog::OnQueryDragIcon),
        OnCommand(IDC_INSTALL, &MainDialog::OnInstall),
        OnCommand(ID_REMOVE_DRIVER, &MainDialog::OnRemoveDriver),
        OnCommand(IDC_CLOSE_BUTTON, &MainDialog::OnCloseButton),
        On(WM_CLOSE, &MainDialog::OnClose),
    };
    return Dispatch(*this, rows, message, result) ||
           BitmapBackgroundDialog::OnMessage(message, result);
}

BOOL MainDialog::OnInitDialog() {
    BitmapBackgroundDialog::OnInitDialog();
    HWND window = GetSafeHwnd();
    runWindow = window;

    if (HMENU systemMenu = ::GetSystemMenu(window, FALSE)) {
        AppendAboutItem(systemMenu, ::GetModuleHandleA(nullptr), SystemWideMenuCalls());
    }

    ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    // Without its picture the wizard still works, on a plain background.
    static_cast<void>(SetBitmap(IDB_BACKGROUND));
    SetBitmapStyle(Stretched);

    // The log opens first, so what is learnt of this PC below is in it; without it the run is
    // the same.
    static_cast<void>(log.Open(LUMI_VERSION_TEXT));
    ProgramDir = ProgramDirFromModulePath(ModulePathWith(&::GetModuleFileNameA));
    // A failed query leaves OsKind unknown, and the run then starts no driver package.
    static_cast<void>(DetectOsKind());
    Detect64BitWindows();
    LogThisPc();
    return TRUE;
}

LRESULT MainDialog::OnSysCommand(const Message& message) {
    // The About item (16) and its neighbours up to 31 are accepted and show nothing.
    if ((message.wParam & 0xFFF0) == IDM_ABOUTBOX) return 0;
    return Default();
}

LRESULT MainDialog::OnPaint(const Message&) {
    HWND window = GetSafeHwnd();
    if (!::IsIconic(window)) return Default();
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    ::SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    ::GetClientRect(window, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, icon);
    ::EndPaint(window, &paint);
    return 0;
}

LRESULT MainDialog::OnQueryDragIcon(const Message&) {
    return reinterpret_cast<LRESULT>(icon);
}

void MainDialog::OnInstall() {
    // One run per program: a second Install command (the button is disabled, but a command
    // can still be sent) must never start a second worker beside the first.
    if (workerThread) return;
    HWND window = GetSafeHwnd();
    HWND statusBox = ::GetDlgItem(window, IDC_STATUS);
    ::ShowWindow(statusBox, SW_SHOWNORMAL);
    // The focus goes to the status box before "Install" is disabled, so it never rests on
    // nothing: a screen reader reads each step's text there, and Tab has a place to start.
    ::SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(statusBox), TRUE);
    ::EnableWindow(::GetDlgItem(window, IDC_INSTALL), FALSE);
    InstallLog::Write("Install pressed");
    workerThread = BeginThread(InstallWorker, this);
}

void MainDialog::OnRemoveDriver() {
    RemoveDriver(*this, OsKind);
}

void MainDialog::OnCloseButton() {
    // Cancel takes the same path as the close box.
    ::SendMessageA(GetSafeHwnd(), WM_CLOSE, 0, 0);
}

LRESULT MainDialog::OnClose(const Message&) {
    const bool running =
        workerThread && ::WaitForSingleObject(workerThread.Get(), 0) == WAIT_TIMEOUT;
    // The worker's own close at the end of its run is sent while it waits: it reads nothing
    // after it, and waiting for it here would never end.
    if (!workerSentClose.load()) LogClose();
    if (running && !workerSentClose.load()) {
        ::ShowWindow(GetSafeHwnd(), SW_HIDE);
        StopRun();
    }
    ReleaseProgramDir();
    return Default();
}

void MainDialog::StopRun() {
    closing.store(true);
    if (closingEvent) ::SetEvent(closingEvent.Get());
    if (!workerThread) return;
    WaitCuttingOffPrompts(workerThread.Get());
    // The worker is done, so it no longer writes the watcher's handle.
    if (watcherThread) WaitCuttingOffPrompts(watcherThread.Get());
}

void MainDialog::WaitCuttingOffPrompts(HANDLE thread) {
    // Windows 95 and 98 do not let two threads call the sound functions at once (ME, the same
    // family, is taken to be alike), and a cut-off from here is such a second call: there the
    // prompt in progress plays to its end (a few seconds, with the window already gone) and
    // nothing is said after it.
    const bool cutOff = OsKind != kOsKindWindows9x;
    // A thread that passed the player's check just before the stop may start its prompt a
    // moment after the first cut-off; the cut-off is repeated until the thread has ended.
    if (cutOff) {
        prompts->Stop();
    } else {
        prompts->Silence();
    }
    while (!WaitHandlingSentMessages(thread, kCutOffRepeatMs)) {
        if (::WaitForSingleObject(thread, 0) != WAIT_TIMEOUT) return;  // not waitable
        if (cutOff) prompts->Stop();
    }
}

void MainDialog::ReleaseProgramDir() {
    ProgramDir.clear();
    ProgramDir.shrink_to_fit();
}
