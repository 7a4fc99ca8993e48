#include "framework/Dialog.h"

#include "framework/App.h"

Dialog::Dialog(UINT templateId, HWND parent) : templateId(templateId), parent(parent) {}

Dialog::~Dialog() {
    if (hwnd != nullptr) {
        // The derived parts are gone already: no message may reach them while the window goes.
        HWND window = hwnd;
        Detach();
        ::DestroyWindow(window);
    }
}

INT_PTR Dialog::DoModal() {
    modal = true;
    ended = false;
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), parent,
                             DialogProc, reinterpret_cast<LPARAM>(this));
}

bool Dialog::Create() {
    modal = false;
    ended = false;
    HWND window = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                       parent, DialogProc, reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
    ended = true;
    endResult = result;
    if (hwnd != nullptr) ::EndDialog(hwnd, result);
}

bool Dialog::OnMessage(const Message& message, LRESULT& result) {
    static const Row<Dialog> rows[] = {
        On(WM_INITDIALOG, &Dialog::OnInitDialogMessage),
        OnCommand(IDOK, &Dialog::OnOK),
        OnCommand(IDCANCEL, &Dialog::OnCancel),
    };
    if (Dispatch(*this, rows, message, result)) return true;
    // Commands no window handles go on to the application's command map.
    if (message.number == WM_COMMAND && HIWORD(message.wParam) == 0) {
        WinApp* app = WinApp::Current();
        if (app != nullptr && app->OnCommand(LOWORD(message.wParam))) {
            result = 0;
            return true;
        }
    }
    return false;
}

LRESULT Dialog::OnInitDialogMessage(const Message&) {
    return OnInitDialog();
}

LRESULT Dialog::Default() {
    if (current == nullptr || hwnd == nullptr || dialogClassProc == nullptr) return 0;
    return ::CallWindowProcA(dialogClassProc, hwnd, current->number, current->wParam,
                             current->lParam);
}

BOOL Dialog::OnInitDialog() {
    return TRUE;
}

void Dialog::OnOK() {
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT Dialog::Dispatch(const Message& message) {
    const Message* outer = current;  // handlers may send messages to their own window
    current = &message;
    LRESULT result = 0;
    if (!OnMessage(message, result)) result = Default();
    current = outer;
    return result;
}

void Dialog::Detach() {
    if (hwnd == nullptr) return;
    if (dialogClassProc != nullptr) {
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dialogClassProc));
    }
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    hwnd = nullptr;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT number, WPARAM wParam, LPARAM lParam) {
    if (number != WM_INITDIALOG) return FALSE;  // everything else arrives through WindowProc
    Dialog* self = reinterpret_cast<Dialog*>(lParam);
    self->hwnd = window;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->dialogClassProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
    const Message message{number, wParam, lParam};
    return static_cast<INT_PTR>(self->Dispatch(message));
}

LRESULT CALLBACK Dialog::WindowProc(HWND window, UINT number, WPARAM wParam, LPARAM lParam) {
    Dialog* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcA(window, number, wParam, lParam);
    if (number == WM_NCDESTROY) {
        WNDPROC original = self->dialogClassProc;
        self->Detach();
        return ::CallWindowProcA(original, window, number, wParam, lParam);
    }
    const Message message{number, wParam, lParam};
    return self->Dispatch(message);
}
