#pragma once

#include <windows.h>

#include "framework/Dialog.h"
#include "framework/Handles.h"

// A dialog that paints a bitmap as its whole background (centred on a fill colour, tiled, or
// stretched) and lets buttons and static texts show it through them.
class BitmapBackgroundDialog : public Dialog {
public:
    enum Style { Centred = 0, Tiled = 1, Stretched = 2 };

    BitmapBackgroundDialog(UINT templateId, HWND parent);
    ~BitmapBackgroundDialog() override;

    // Loads bitmap resource id (low 16 bits) from the program's own module, releasing the one
    // held first. 1 when loaded; 0 leaves the dialog with no bitmap. Does not repaint.
    int SetBitmap(UINT id);
    // Values outside 0 to 2 become 0; a visible window is invalidated with erasing.
    void SetBitmapStyle(int style);

    BOOL OnEraseBkgnd(HDC dc);
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type);
    void OnSize(UINT type, int width, int height);

    int BitmapStyle() const { return bitmapStyle; }
    HBITMAP Bitmap() const { return static_cast<HBITMAP>(backgroundBitmap.Get()); }

protected:
    bool OnMessage(const Message& message, LRESULT& result) override;

private:
    int bitmapStyle = Centred;
    UniqueGdiObject backgroundBitmap;
    HBRUSH transparentBrush;  // the stock null brush: never created here, never freed
    COLORREF fillColour;
    BITMAP bitmapInfo;
    RECT clientRect;
};
