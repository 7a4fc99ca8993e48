#pragma once

#include <windows.h>

// A dialog run from a template of the program's own resources, modally (DoModal) or, for
// tests, modelessly (Create). Every window message goes to the virtual OnMessage of the most
// derived class; each class handles its own messages there, as one ordered table, and hands
// the rest to its base. What no class handles gets the platform's default dialog processing.
class Dialog {
public:
    Dialog(UINT templateId, HWND parent);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; returns what EndDialog was given, or -1 when it could not open.
    INT_PTR DoModal();
    // Opens the dialog modelessly; false when the template could not be opened.
    bool Create();
    // Ends the dialog: a modal loop returns, a modeless window is hidden.
    void EndDialog(INT_PTR result);
    void DestroyWindow();

    HWND GetSafeHwnd() const { return hwnd; }
    bool IsEnded() const { return ended; }
    INT_PTR EndResult() const { return endResult; }

protected:
    struct Message {
        UINT id;
        WPARAM wParam;
        LPARAM lParam;
    };

    // The message table. Returns true when the message was handled, with its result set.
    virtual bool OnMessage(const Message& message, LRESULT& result);
    // The default processing of the message being handled right now.
    LRESULT Default();

    virtual BOOL OnInitDialog();  // the framework's own: nothing to set up, focus the first stop
    virtual void OnOK();          // IDOK: ends the dialog with IDOK
    virtual void OnCancel();      // IDCANCEL (Esc, and the close path): ends it with IDCANCEL

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(const Message& message);
    void Detach();

    UINT templateId;
    HWND parent;
    HWND hwnd = nullptr;
    WNDPROC dialogClassProc = nullptr;
    const Message* current = nullptr;
    bool modal = false;
    bool ended = false;
    INT_PTR endResult = 0;
};
