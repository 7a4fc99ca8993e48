#include "app/BitmapBackgroundDialog.h"

BitmapBackgroundDialog::BitmapBackgroundDialog(UINT templateId, HWND parent)
    : Dialog(templateId, parent),
      transparentBrush(static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH))),
      fillColour(::GetSysColor(COLOR_ACTIVEBORDER)),
      bitmapInfo(),
      clientRect() {}

// backgroundBitmap's owner releases the picture; the stock brush needs no release.
BitmapBackgroundDialog::~BitmapBackgroundDialog() = default;

bool BitmapBackgroundDialog::OnMessage(const Message& message, LRESULT& result) {
    static const Row<BitmapBackgroundDialog> rows[] = {
        On(WM_ERASEBKGND, &BitmapBackgroundDialog::EraseBkgndMessage),
        OnRange(WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC, &BitmapBackgroundDialog::CtlColorMessage),
        On(WM_SIZE, &BitmapBackgroundDialog::SizeMessage),
    };
    return Dispatch(*this, rows, message, result) || Dialog::OnMessage(message, result);
}

LRESULT BitmapBackgroundDialog::EraseBkgndMessage(const Message& message) {
    return OnEraseBkgnd(reinterpret_cast<HDC>(message.wParam));
}

LRESULT BitmapBackgroundDialog::CtlColorMessage(const Message& message) {
    // The seven colour messages follow each other in the order of the CTLCOLOR_ types.
    return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(message.wParam),
                                                reinterpret_cast<HWND>(message.lParam),
                                                message.number - WM_CTLCOLORMSGBOX));
}

LRESULT BitmapBackgroundDialog::SizeMessage(const Message& message) {
    OnSize(static_cast<UINT>(message.wParam), LOWORD(message.lParam), HIWORD(message.lParam));
    return 0;
}

int BitmapBackgroundDialog::SetBitmap(UINT id) {
    backgroundBitmap.Reset();
    bitmapInfo = BITMAP();
    backgroundBitmap.Reset(
        ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(LOWORD(id))));
    if (!backgroundBitmap) return 0;
    // A picture with no width or height cannot be drawn, and the tiling would never end: such
    // a picture counts as not loaded.
    if (::GetObjectA(backgroundBitmap.Get(), sizeof(BITMAP), &bitmapInfo) != sizeof(BITMAP) ||
        bitmapInfo.bmWidth <= 0 || bitmapInfo.bmHeight <= 0) {
        backgroundBitmap.Reset();
        bitmapInfo = BITMAP();
        return 0;
    }
    return 1;
}

void BitmapBackgroundDialog::SetBitmapStyle(int style) {
    bitmapStyle = (style >= Centred && style <= Stretched) ? style : Centred;
    HWND window = GetSafeHwnd();
    if (window != nullptr && ::IsWindowVisible(window)) {
        static_cast<void>(::InvalidateRect(window, nullptr, TRUE));
    }
}

BOOL BitmapBackgroundDialog::OnEraseBkgnd(HDC dc) {
    if (!backgroundBitmap) return static_cast<BOOL>(Default());

    ::GetClientRect(GetSafeHwnd(), &clientRect);
    const int width = clientRect.right - clientRect.left;
    const int height = clientRect.bottom - clientRect.top;

    // Declared so that they go in the order the GDI needs: each device context gets its own
    // bitmap back before it is deleted, and the canvas is deleted only once no context holds
    // it. The canvas is made compatible with dc: a fresh memory context holds only a
    // one-pixel monochrome bitmap.
    UniqueGdiObject canvas(::CreateCompatibleBitmap(dc, width, height));
    UniqueMemoryDc composed(::CreateCompatibleDC(dc));
    UniqueMemoryDc picture(::CreateCompatibleDC(dc));
    // Without them nothing can be composed (the GDI's table is full, say): the default erase
    // still gives the dialog its own plain background, never an unerased or black one.
    if (!canvas || !composed || !picture) return static_cast<BOOL>(Default());
    ScopedSelection canvasSelection(composed.Get(), canvas.Get());
    ScopedSelection pictureSelection(picture.Get(), backgroundBitmap.Get());
    if (!canvasSelection.IsSelected() || !pictureSelection.IsSelected()) {
        return static_cast<BOOL>(Default());
    }

    Compose(composed.Get(), picture.Get(), width, height);
    // One copy, so the window changes once per erase.
    static_cast<void>(::BitBlt(dc, 0, 0, width, height, composed.Get(), 0, 0, SRCCOPY));
    return TRUE;
}

void BitmapBackgroundDialog::Compose(HDC target, HDC picture, int width, int height) {
    const int pictureWidth = bitmapInfo.bmWidth;
    const int pictureHeight = bitmapInfo.bmHeight;
    switch (bitmapStyle) {
        case Tiled:
            for (int y = 0; y < height; y += pictureHeight) {
                for (int x = 0; x < width; x += pictureWidth) {
                    static_cast<void>(::BitBlt(target, x, y, pictureWidth, pictureHeight, picture,
                                               0, 0, SRCCOPY));
                }
            }
            break;
        case Stretched:
            static_cast<void>(::StretchBlt(target, 0, 0, width, height, picture, 0, 0, pictureWidth,
                                           pictureHeight, SRCCOPY));
            break;
        default: {
            // A solid fill as an opaque empty text: the quickest fill, and it needs no brush.
            static_cast<void>(::SetBkColor(target, fillColour));
            static_cast<void>(
                ::ExtTextOutA(target, 0, 0, ETO_OPAQUE, &clientRect, nullptr, 0, nullptr));
            // Integer halves truncate toward zero: a larger picture is cut on both sides.
            static_cast<void>(::BitBlt(target, (width - pictureWidth) / 2,
                                       (height - pictureHeight) / 2, pictureWidth, pictureHeight,
                                       picture, 0, 0, SRCCOPY));
            break;
        }
    }
}

HBRUSH BitmapBackgroundDialog::OnCtlColor(HDC dc, HWND, UINT type) {
    if (!backgroundBitmap || (type != CTLCOLOR_BTN && type != CTLCOLOR_STATIC)) {
        return reinterpret_cast<HBRUSH>(Default());
    }
    static_cast<void>(::SetBkMode(dc, TRANSPARENT));
    return transparentBrush;
}

void BitmapBackgroundDialog::OnSize(UINT, int, int) {
    static_cast<void>(Default());
    static_cast<void>(::InvalidateRect(GetSafeHwnd(), nullptr, TRUE));
}
