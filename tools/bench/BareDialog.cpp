// bare_dialog: the least a Win32 dialog program built with this toolchain can do, one modal
// dialog from a template. The benchmark times its start-up beside Setup.exe's, so the wizard's
// own start-up cost can be told apart from what the platform costs every program.

#include <windows.h>

#include "tools/bench/BareDialogIds.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CLOSE:
            static_cast<void>(::EndDialog(dialog, 0));
            return TRUE;
        case WM_COMMAND:
            // Esc arrives as IDCANCEL.
            if (LOWORD(wParam) == IDCANCEL) static_cast<void>(::EndDialog(dialog, 0));
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const INT_PTR result =
        ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BARE_DIALOG), nullptr, BareDialogProc, 0);
    return result == -1 ? 1 : 0;
}
