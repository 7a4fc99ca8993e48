#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/BitmapBackgroundDialog.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"

using testing_support::OpenDialog;

namespace {

constexpr COLORREF kUntouched = RGB(255, 0, 255);  // no pixel of the picture has it
constexpr int kMissingBitmap = 999;

// The background dialog on the main dialog's template, counting the erases that reach it.
class BackgroundDialog : public BitmapBackgroundDialog {
public:
    BackgroundDialog() : BitmapBackgroundDialog(IDD_MAIN, nullptr) {
        if (!Create()) ADD_FAILURE() << "the dialog did not open";
    }
    HWND Window() const { return GetSafeHwnd(); }
    int erases = 0;

protected:
    bool OnMessage(const Message& message, LRESULT& result) override {
        if (message.number == WM_ERASEBKGND) ++erases;
        return BitmapBackgroundDialog::OnMessage(message, result);
    }
};

// Gives the window a client area of exactly width by height pixels.
void SizeClient(HWND window, int width, int height) {
    RECT frame = {0, 0, width, height};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongA(window, GWL_EXSTYLE)));
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    ::GetClientRect(window, &client);
    ASSERT_EQ(width, client.right) << "the client area could not be sized";
    ASSERT_EQ(height, client.bottom) << "the client area could not be sized";
}

COLORREF FromDib(DWORD pixel) {
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

// A memory device context with a 32-bit DIB selected, every pixel kUntouched first.
class PaintTarget {
public:
    PaintTarget(int width, int height) : width(width), height(height) {
        const BITMAPINFO info = TopDown32(width, height);
        void* bits = nullptr;
        dib.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        selection.reset(new ScopedSelection(dc.Get(), dib.Get()));
        pixels = static_cast<DWORD*>(bits);
        EXPECT_NE(nullptr, pixels);
        if (pixels == nullptr) return;
        const DWORD untouched =
            (GetRValue(kUntouched) << 16) | (GetGValue(kUntouched) << 8) | GetBValue(kUntouched);
        std::fill(pixels, pixels + width * height, untouched);
    }
    HDC Dc() const { return dc.Get(); }
    COLORREF Pixel(int x, int y) const {
        ::GdiFlush();
        return FromDib(pixels[y * width + x]);
    }
    const int width;
    const int height;

private:
    UniqueGdiObject dib;
    UniqueMemoryDc dc{::CreateCompatibleDC(nullptr)};
    std::unique_ptr<ScopedSelection> selection;  // goes first: the DIB is put back before all
    DWORD* pixels = nullptr;
};

// The pixels of a loaded bitmap, read back as they are.
struct PictureCopy {
    explicit PictureCopy(HBITMAP bitmap) {
        BITMAP description = {};
        ::GetObjectA(bitmap, sizeof(description), &description);
        width = description.bmWidth;
        height = description.bmHeight;
        BITMAPINFO info = TopDown32(width, height);
        pixels.resize(static_cast<size_t>(width) * height);
        HDC screen = ::GetDC(nullptr);
        EXPECT_EQ(height,
                  ::GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS));
        ::ReleaseDC(nullptr, screen);
    }
    COLORREF Pixel(int x, int y) const { return FromDib(pixels[y * width + x]); }

    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
};

// A dialog with the background picture in a style, its client area sized, erased once into a
// target 10 pixels larger each way than the client area (to see that nothing lands outside).
struct ErasedBackground {
    ErasedBackground(int style, int width, int height) : target(width + 10, height + 10) {
        EXPECT_EQ(1, dialog.SetBitmap(IDB_BACKGROUND));
        dialog.SetBitmapStyle(style);
        SizeClient(dialog.Window(), width, height);
        erased = ::SendMessageA(dialog.Window(), WM_ERASEBKGND,
                                reinterpret_cast<WPARAM>(target.Dc()), 0);
    }

    // Every pixel of the client area against expected(x, y); the rest stays untouched.
    void ExpectPixels(int width, int height, const std::function<COLORREF(int, int)>& expected) {
        int wrong = 0;
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                const bool inside = x < width && y < height;
                const COLORREF want = inside ? expected(x, y) : kUntouched;
                if (target.Pixel(x, y) != want && ++wrong <= 5) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex
                                  << target.Pixel(x, y) << ", expected " << want;
                }
            }
        }
        EXPECT_EQ(0, wrong);
    }

    // Pixels of the client area the paint left alone.
    int UntouchedInside(int width, int height) const {
        int untouched = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) untouched += target.Pixel(x, y) == kUntouched;
        }
        return untouched;
    }

    BackgroundDialog dialog;
    PaintTarget target;
    LRESULT erased = 0;
};

PictureCopy Picture() {
    BackgroundDialog dialog;
    EXPECT_EQ(1, dialog.SetBitmap(IDB_BACKGROUND));
    return PictureCopy(dialog.Bitmap());
}

TEST(BitmapBackground, MainDialogShowsThePictureStretched) {
    OpenDialog dialog;
    ASSERT_NE(nullptr, dialog->Bitmap());
    EXPECT_EQ(BitmapBackgroundDialog::Stretched, dialog->BitmapStyle());
}

TEST(BitmapBackground, StylesOutsideTheThreeBecomeCentred) {
    struct Row {
        int given;
        int kept;
    };
    const Row rows[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}, {INT_MAX, 0}};
    BackgroundDialog dialog;
    for (const Row& row : rows) {
        dialog.SetBitmapStyle(BitmapBackgroundDialog::Stretched);
        dialog.SetBitmapStyle(row.given);
        EXPECT_EQ(row.kept, dialog.BitmapStyle()) << "style " << row.given;
    }
}

// A picture 5 pixels smaller than the client area sits at 2 (half of 5, truncated), 5 pixels
// larger at -2 (truncated toward zero); the fill colour shows only where it does not cover.
TEST(BitmapBackgroundPaint, CentredPictureSitsOnTheFillColour) {
    const PictureCopy picture = Picture();
    const COLORREF fill = ::GetSysColor(COLOR_ACTIVEBORDER);
    // Only a colour that no other system colour has shows that the fill is the right one.
    for (int index = COLOR_SCROLLBAR; index <= COLOR_MENUBAR; ++index) {
        if (index == COLOR_ACTIVEBORDER) continue;
        ASSERT_NE(fill, ::GetSysColor(index))
            << "system colour " << index << " is the fill colour's too; the bench prefix "
            << "(cmake/wine-prefix.sh) gives ActiveBorder a colour of its own: remove an older "
            << "prefix to have it made again";
    }
    struct Row {
        int extraWidth, extraHeight;
        int left, top;
    };
    const Row rows[] = {{5, 5, 2, 2}, {-5, -5, -2, -2}, {6, -7, 3, -3}};
    for (const Row& row : rows) {
        SCOPED_TRACE("client " + std::to_string(row.extraWidth) + ", " +
                     std::to_string(row.extraHeight) + " pixels larger");
        const int width = picture.width + row.extraWidth;
        const int height = picture.height + row.extraHeight;
        ErasedBackground background(BitmapBackgroundDialog::Centred, width, height);
        EXPECT_NE(0, background.erased);
        background.ExpectPixels(width, height, [&](int x, int y) {
            const int px = x - row.left;
            const int py = y - row.top;
            const bool covered = px >= 0 && px < picture.width && py >= 0 && py < picture.height;
            return covered ? picture.Pixel(px, py) : fill;
        });
    }
}

// Row by row, each row cut at the right edge and the last row cut at the bottom.
TEST(BitmapBackgroundPaint, TilesCoverTheClientAreaRowByRow) {
    const PictureCopy picture = Picture();
    struct Row {
        int width, height;
    };
    const Row rows[] = {{picture.width * 3 / 2, picture.height * 3 / 2}, {100, 50}};
    for (const Row& row : rows) {
        SCOPED_TRACE("client " + std::to_string(row.width) + " x " + std::to_string(row.height));
        ErasedBackground background(BitmapBackgroundDialog::Tiled, row.width, row.height);
        EXPECT_NE(0, background.erased);
        background.ExpectPixels(row.width, row.height, [&](int x, int y) {
            return picture.Pixel(x % picture.width, y % picture.height);
        });
    }
}

TEST(BitmapBackgroundPaint, StretchedPictureFillsTheClientArea) {
    const PictureCopy picture = Picture();
    const int right = picture.width - 1;
    const int bottom = picture.height - 1;
    struct Row {
        int width, height;
    };
    const Row rows[] = {{picture.width, picture.height}, {700, 500}};
    for (const Row& row : rows) {
        SCOPED_TRACE("client " + std::to_string(row.width) + " x " + std::to_string(row.height));
        ErasedBackground background(BitmapBackgroundDialog::Stretched, row.width, row.height);
        EXPECT_NE(0, background.erased);
        const PaintTarget& target = background.target;
        EXPECT_EQ(picture.Pixel(0, 0), target.Pixel(0, 0));
        EXPECT_EQ(picture.Pixel(right, 0), target.Pixel(row.width - 1, 0));
        EXPECT_EQ(picture.Pixel(0, bottom), target.Pixel(0, row.height - 1));
        EXPECT_EQ(picture.Pixel(right, bottom), target.Pixel(row.width - 1, row.height - 1));
        EXPECT_EQ(0, background.UntouchedInside(row.width, row.height));
        EXPECT_EQ(kUntouched, target.Pixel(row.width, row.height));
        if (row.width == picture.width && row.height == picture.height) {
            background.ExpectPixels(row.width, row.height,
                                    [&](int x, int y) { return picture.Pixel(x, y); });
        }
    }
}

// The dialog without a picture must look and answer exactly as the plain dialog does.
struct PlainDialog : Dialog {
    PlainDialog() : Dialog(IDD_MAIN, nullptr) {
        if (!Create()) ADD_FAILURE() << "the dialog did not open";
    }
};

TEST(BitmapBackgroundPaint, WithoutPictureErasingIsLeftToTheDefault) {
    const int width = 200, height = 150;
    PlainDialog plain;
    SizeClient(plain.GetSafeHwnd(), width, height);
    PaintTarget plainTarget(width, height);
    const LRESULT plainResult = ::SendMessageA(plain.GetSafeHwnd(), WM_ERASEBKGND,
                                               reinterpret_cast<WPARAM>(plainTarget.Dc()), 0);

    BackgroundDialog never;  // no picture ever loaded
    BackgroundDialog failed;
    ASSERT_EQ(1, failed.SetBitmap(IDB_BACKGROUND));
    EXPECT_EQ(0, failed.SetBitmap(kMissingBitmap));
    for (BackgroundDialog* dialog : {&never, &failed}) {
        SizeClient(dialog->Window(), width, height);
        PaintTarget target(width, height);
        EXPECT_EQ(plainResult, ::SendMessageA(dialog->Window(), WM_ERASEBKGND,
                                              reinterpret_cast<WPARAM>(target.Dc()), 0));
        for (int y = 0; y < height; y += 7) {
            for (int x = 0; x < width; x += 7) {
                ASSERT_EQ(plainTarget.Pixel(x, y), target.Pixel(x, y)) << x << ", " << y;
            }
        }
    }
}

TEST(BitmapBackground, OnlyButtonsAndStaticsBecomeTransparent) {
    PlainDialog plain;
    BackgroundDialog withPicture;
    ASSERT_EQ(1, withPicture.SetBitmap(IDB_BACKGROUND));
    BackgroundDialog withoutPicture;
    const HGDIOBJ nullBrush = ::GetStockObject(NULL_BRUSH);

    for (UINT type = CTLCOLOR_MSGBOX; type <= CTLCOLOR_STATIC; ++type) {
        SCOPED_TRACE("control type " + std::to_string(type));
        const UINT message = WM_CTLCOLORMSGBOX + type;
        auto ask = [&](HWND window, int& mode) {
            PaintTarget target(4, 4);
            ::SetBkMode(target.Dc(), OPAQUE);
            HWND control = ::GetDlgItem(window, IDC_INSTALL);
            const LRESULT brush =
                ::SendMessageA(window, message, reinterpret_cast<WPARAM>(target.Dc()),
                               reinterpret_cast<LPARAM>(control));
            mode = ::GetBkMode(target.Dc());
            return reinterpret_cast<HGDIOBJ>(brush);
        };
        int plainMode = 0, mode = 0;
        const HGDIOBJ plainBrush = ask(plain.GetSafeHwnd(), plainMode);
        ASSERT_NE(nullBrush, plainBrush);

        const HGDIOBJ brush = ask(withPicture.Window(), mode);
        if (type == CTLCOLOR_BTN || type == CTLCOLOR_STATIC) {
            EXPECT_EQ(nullBrush, brush);
            EXPECT_EQ(TRANSPARENT, mode);
        } else {
            EXPECT_EQ(plainBrush, brush);
            EXPECT_EQ(plainMode, mode);
        }

        EXPECT_EQ(plainBrush, ask(withoutPicture.Window(), mode));
        EXPECT_EQ(plainMode, mode);
    }
}

TEST(BitmapBackground, NewPictureReplacesTheOldAndAFailedOneLeavesNone) {
    BackgroundDialog dialog;
    ASSERT_EQ(1, dialog.SetBitmap(IDB_BACKGROUND));
    const HBITMAP first = dialog.Bitmap();
    // Only the low 16 bits name the resource.
    ASSERT_EQ(1, dialog.SetBitmap(0x10000u | IDB_BACKGROUND));
    const HBITMAP second = dialog.Bitmap();
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(0u, ::GetObjectType(first)) << "the first picture was not released";
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), ::GetObjectType(second));

    EXPECT_EQ(0, dialog.SetBitmap(kMissingBitmap));
    EXPECT_EQ(nullptr, dialog.Bitmap());
    EXPECT_EQ(0u, ::GetObjectType(second)) << "the second picture was not released";
}

// Invalidating with erasing: nothing is left validated, and the next update erases.
TEST(BitmapBackground, StyleChangeAndResizeRepaintTheWholeBackground) {
    BackgroundDialog dialog;
    ASSERT_EQ(1, dialog.SetBitmap(IDB_BACKGROUND));
    HWND window = dialog.Window();
    SizeClient(window, 300, 200);
    struct Row {
        const char* action;
        std::function<void()> act;
    };
    // Shrinking exposes nothing new, so only the dialog itself can make it all invalid.
    const Row rows[] = {
        {"style change", [&] { dialog.SetBitmapStyle(BitmapBackgroundDialog::Tiled); }},
        {"shrinking", [&] { SizeClient(window, 280, 180); }},
        {"restore", [&] { ::SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(280, 180)); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action);
        ::UpdateWindow(window);
        ::ValidateRect(window, nullptr);
        row.act();
        RECT client = {}, update = {};
        ::GetClientRect(window, &client);
        ASSERT_TRUE(::GetUpdateRect(window, &update, FALSE));
        EXPECT_TRUE(::EqualRect(&client, &update));
        const int erasesBefore = dialog.erases;
        ::UpdateWindow(window);
        EXPECT_EQ(erasesBefore + 1, dialog.erases);
    }
}

// Fills the process's GDI handle table up to a few free slots while it lives.
class CrowdedGdiTable {
public:
    explicit CrowdedGdiTable(int spare) {
        for (;;) {
            HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
            if (brush == nullptr) break;
            crowd.push_back(brush);
        }
        for (int i = 0; i < spare && !crowd.empty(); ++i) {
            ::DeleteObject(crowd.back());
            crowd.pop_back();
        }
    }
    ~CrowdedGdiTable() {
        for (HGDIOBJ brush : crowd) ::DeleteObject(brush);
    }
    // How many more objects can be made now.
    int FreeSlots() const {
        std::vector<HGDIOBJ> probes;
        for (;;) {
            HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
            if (brush == nullptr) break;
            probes.push_back(brush);
        }
        for (HGDIOBJ brush : probes) ::DeleteObject(brush);
        return static_cast<int>(probes.size());
    }

private:
    std::vector<HGDIOBJ> crowd;
};

// The platform gives no count of a process's GDI objects here, so the paints run in a table
// with only a few free slots: one object kept per paint would use them up within a few paints,
// and the paints after it would no longer draw.
TEST(BitmapBackgroundPaint, PaintingKeepsNoGdiObject) {
    const int width = 64, height = 48;
    BackgroundDialog dialog;
    ASSERT_EQ(1, dialog.SetBitmap(IDB_BACKGROUND));
    SizeClient(dialog.Window(), width, height);
    PaintTarget target(width, height);
    const WPARAM dc = reinterpret_cast<WPARAM>(target.Dc());
    const int styles[] = {BitmapBackgroundDialog::Centred, BitmapBackgroundDialog::Tiled,
                          BitmapBackgroundDialog::Stretched};
    auto pixels = [&] {
        std::vector<COLORREF> all;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) all.push_back(target.Pixel(x, y));
        }
        return all;
    };

    std::vector<std::vector<COLORREF>> expected, last;
    for (int style : styles) {
        dialog.SetBitmapStyle(style);
        ::SendMessageA(dialog.Window(), WM_ERASEBKGND, dc, 0);
        expected.push_back(pixels());
    }
    int freeBefore = 0, freeAfter = 0;
    {
        CrowdedGdiTable table(40);
        freeBefore = table.FreeSlots();
        for (int style : styles) {
            dialog.SetBitmapStyle(style);
            for (int paint = 0; paint < 400; ++paint) {
                ::SendMessageA(dialog.Window(), WM_ERASEBKGND, dc, 0);
            }
            last.push_back(pixels());
        }
        freeAfter = table.FreeSlots();
    }
    EXPECT_GE(freeBefore, 6) << "the table was not crowded as planned";
    EXPECT_EQ(freeBefore, freeAfter);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(expected[i] == last[i]) << "style " << styles[i] << " no longer draws right";
    }
}

// Without room for its memory objects the erase falls back to the plain dialog's, which needs
// none: never a background left unerased.
TEST(BitmapBackgroundPaint, WithoutRoomForItsObjectsErasingIsLeftToTheDefault) {
    const int width = 64, height = 48;
    PlainDialog plain;
    SizeClient(plain.GetSafeHwnd(), width, height);
    PaintTarget plainTarget(width, height);
    const LRESULT plainResult = ::SendMessageA(plain.GetSafeHwnd(), WM_ERASEBKGND,
                                               reinterpret_cast<WPARAM>(plainTarget.Dc()), 0);
    BackgroundDialog dialog;
    ASSERT_EQ(1, dialog.SetBitmap(IDB_BACKGROUND));
    SizeClient(dialog.Window(), width, height);
    PaintTarget target(width, height);

    LRESULT result = 0;
    {
        CrowdedGdiTable table(0);
        ASSERT_EQ(0, table.FreeSlots()) << "the table was not filled as planned";
        result = ::SendMessageA(dialog.Window(), WM_ERASEBKGND,
                                reinterpret_cast<WPARAM>(target.Dc()), 0);
    }
    EXPECT_EQ(plainResult, result);
    for (int y = 0; y < height; y += 7) {
        for (int x = 0; x < width; x += 7) {
            ASSERT_EQ(plainTarget.Pixel(x, y), target.Pixel(x, y)) << x << ", " << y;
        }
    }
}

}  // namespace
