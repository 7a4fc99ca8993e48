#pragma once

#include <windows.h>

#include "framework/Dialog.h"
#include "framework/Handles.h"

// A dialog that paints a bitmap as its whole background (centred on a fill colour, tiled, or
// stretched) and lets buttons and static texts show it through them. Without a bitmap it
// behaves exactly as a plain dialog.
class BitmapBackgroundDialog : public Dialog {
public:
    enum Style { Centred = 0, Tiled = 1, Stretched = 2 };

    BitmapBackgroundDialog(UINT templateId, HWND parent);
    ~BitmapBackgroundDialog() override;

    // Loads bitmap resource id (low 16 bits) from the program's own module, releasing the one
    // held first. 1 when loaded; 0 (missing resource, or a picture with no width or height)
    // leaves the dialog with no bitmap. Does not repaint.
    [[nodiscard]] int SetBitmap(UINT id);
    // Values outside 0 to 2 become 0; a visible window is invalidated with erasing.
    void SetBitmapStyle(int style);

    // Composes the whole client area off screen and copies it to dc at once; nonzero when the
    // background was painted. Without a bitmap, or without the memory objects to compose it
    // in, the default processing erases.
    BOOL OnEraseBkgnd(HDC dc);
    // Buttons and statics get the transparent mode and the null brush while a bitmap is held;
    // everything else gets the default colours.
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type);
    // Every change of size repaints the whole background.
    void OnSize(UINT type, int width, int height);

    int BitmapStyle() const { return bitmapStyle; }
    HBITMAP Bitmap() const { return static_cast<HBITMAP>(backgroundBitmap.Get()); }

protected:
    bool OnMessage(const Message& message, LRESULT& result) override;

private:
    // The messages above, unpacked.
    LRESULT EraseBkgndMessage(const Message& message);
    LRESULT CtlColorMessage(const Message& message);
    LRESULT SizeMessage(const Message& message);
    void Compose(HDC target, HDC picture, int width, int height);

    int bitmapStyle = Centred;
    UniqueGdiObject backgroundBitmap;
    HBRUSH transparentBrush;  // the stock null brush: never created here, never freed
    COLORREF fillColour;      // read once at construction
    BITMAP bitmapInfo;        // of backgroundBitmap; only its width and height are used
    RECT clientRect;          // taken afresh at every background paint
};
