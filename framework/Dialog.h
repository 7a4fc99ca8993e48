#pragma once

#include <windows.h>

#include <cstddef>

// A dialog run from a template of the program's own resources, modally (DoModal) or, for
// tests, modelessly (Create). Every window message goes to the virtual OnMessage of the most
// derived class; each class keeps its messages in one ordered table of rows, chains its base
// after them, and what no class handles gets the platform's default dialog processing.
class Dialog {
public:
    Dialog(UINT templateId, HWND parent);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; returns what EndDialog was given, or -1 when it could not open.
    [[nodiscard]] INT_PTR DoModal();
    // Opens the dialog modelessly; false when the template could not be opened.
    [[nodiscard]] bool Create();
    // Ends the dialog: a modal loop returns, a modeless window is hidden.
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return hwnd; }
    bool IsEnded() const { return ended; }
    INT_PTR EndResult() const { return endResult; }

protected:
    struct Message {
        UINT number;  // WM_...
        WPARAM wParam;
        LPARAM lParam;
    };

    // One row of a message table: a message (or a range of them) with its handler, or a
    // command by its id. A command is a WM_COMMAND with notification code 0, sent by a button,
    // a menu item or an accelerator; its handler's result is always 0.
    template <typename Window>
    struct Row {
        UINT first;
        UINT last;
        LRESULT (Window::*onMessage)(const Message& message);
        void (Window::*onCommand)();
    };
    template <typename Window>
    static Row<Window> On(UINT number, LRESULT (Window::*handler)(const Message&)) {
        return {number, number, handler, nullptr};
    }
    template <typename Window>
    static Row<Window> OnRange(UINT first, UINT last, LRESULT (Window::*handler)(const Message&)) {
        return {first, last, handler, nullptr};
    }
    template <typename Window>
    static Row<Window> OnCommand(UINT id, void (Window::*handler)()) {
        return {id, id, nullptr, handler};
    }
    // Runs the first row that matches the message; true, with result set, when one did.
    template <typename Window, size_t N>
    static bool Dispatch(Window& window, const Row<Window> (&rows)[N], const Message& message,
                         LRESULT& result);

    // The message table. Returns true when the message was handled, with its result set. A
    // derived class dispatches its own rows and then calls its base's.
    virtual bool OnMessage(const Message& message, LRESULT& result);
    // The default processing of the message being handled right now.
    LRESULT Default();

    virtual BOOL OnInitDialog();  // the framework's own: nothing to set up, focus the first stop
    virtual void OnOK();          // IDOK: ends the dialog with IDOK
    virtual void OnCancel();      // IDCANCEL (Esc, and the close path): ends it with IDCANCEL

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT number, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT number, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(const Message& message);
    void Detach();
    LRESULT OnInitDialogMessage(const Message& message);

    UINT templateId;
    HWND parent;
    HWND hwnd = nullptr;
    WNDPROC dialogClassProc = nullptr;
    const Message* current = nullptr;
    bool modal = false;
    bool ended = false;
    INT_PTR endResult = 0;
};

template <typename Window, size_t N>
bool Dialog::Dispatch(Window& window, const Row<Window> (&rows)[N], const Message& message,
                      LRESULT& result) {
    // Commands are unpacked here once; a notification from a control (code not 0) is a
    // message like any other.
    const bool command = message.number == WM_COMMAND && HIWORD(message.wParam) == 0;
    const UINT id = LOWORD(message.wParam);
    for (const Row<Window>& row : rows) {
        if (row.onCommand != nullptr) {
            if (!command || id != row.first) continue;
            (window.*row.onCommand)();
            result = 0;
            return true;
        }
        if (message.number < row.first || message.number > row.last) continue;
        result = (window.*row.onMessage)(message);
        return true;
    }
    return false;
}
