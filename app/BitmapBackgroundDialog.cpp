#include "app/BitmapBackgroundDialog.h"

BitmapBackgroundDialog::BitmapBackgroundDialog(UINT templateId, HWND parent)
    : Dialog(templateId, parent),
      transparentBrush(static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH))),
      fillColour(::GetSysColor(COLOR_ACTIVEBORDER)),
      bitmapInfo(),
      clientRect() {}

BitmapBackgroundDialog::~BitmapBackgroundDialog() = default;

int BitmapBackgroundDialog::SetBitmap(UINT) { return 0; }
void BitmapBackgroundDialog::SetBitmapStyle(int) {}
BOOL BitmapBackgroundDialog::OnEraseBkgnd(HDC) { return FALSE; }
HBRUSH BitmapBackgroundDialog::OnCtlColor(HDC, HWND, UINT) { return nullptr; }
void BitmapBackgroundDialog::OnSize(UINT, int, int) {}
bool BitmapBackgroundDialog::OnMessage(const Message& message, LRESULT& result) {
    return Dialog::OnMessage(message, result);
}
