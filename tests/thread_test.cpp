#include <gtest/gtest.h>
#include <process.h>
#include <windows.h>

#include <atomic>

#include "framework/Thread.h"
#include "tests/support/ImportHook.h"

namespace {

// _beginthreadex as Windows 95, 98 and ME have it: it hands the id pointer straight to their
// CreateThread, which starts no thread without one.
uintptr_t __cdecl BeginThreadAsWindows9x(void* security, unsigned stackSize, ThreadFunction fn,
                                         void* argument, unsigned flags, unsigned* threadId) {
    if (threadId == nullptr) return 0;
    return _beginthreadex(security, stackSize, fn, argument, flags, threadId);
}

unsigned __stdcall MarkRan(void* ran) {
    static_cast<std::atomic<bool>*>(ran)->store(true);
    return 0;
}

TEST(BeginThread, StartsTheThreadWhereTheSystemWantsAPlaceForItsId) {
    std::atomic<bool> ran{false};
    UniqueHandle thread = BeginThreadWith(BeginThreadAsWindows9x, MarkRan, &ran);
    ASSERT_TRUE(thread.IsValid()) << "no thread started";
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(thread.Get(), 5000));
    EXPECT_TRUE(ran.load());
}

// PeekMessageA as the product calls it, through this program's own import: every peek's flags.
using PeekMessageFn = BOOL(WINAPI*)(LPMSG msg, HWND window, UINT first, UINT last, UINT flags);
PeekMessageFn platformPeekMessage = nullptr;
std::atomic<int> peeks{0};
std::atomic<UINT> peekFlags{0};
BOOL WINAPI RecordedPeekMessage(LPMSG msg, HWND window, UINT first, UINT last, UINT flags) {
    ++peeks;
    peekFlags |= flags;
    return platformPeekMessage(msg, window, first, last, flags);
}

constexpr UINT kPosted = WM_APP + 1;
constexpr UINT kSent = WM_APP + 2;

unsigned __stdcall SendToWindow(void* window) {
    // Returns only once the waiting thread has handled the message.
    ::SendMessageA(static_cast<HWND>(window), kSent, 0, 0);
    return 0;
}

// A thread that sends to our window while we wait for it would deadlock with a plain wait;
// the wait handles the sent message and leaves the posted one for the message loop. Its peeks
// carry no PM_QS_* flag: Windows 95 and NT 4 do not know them.
TEST(WaitHandlingSentMessages, HandlesSentMessagesAndLeavesPostedOnesQueued) {
    HWND window = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(::PostMessageA(window, kPosted, 0, 0));
    UniqueHandle sender = BeginThread(SendToWindow, window);
    ASSERT_TRUE(sender.IsValid());

    {
        testing_support::ScopedImportHook peek("user32.dll", "PeekMessageA",
                                               reinterpret_cast<void*>(&RecordedPeekMessage));
        ASSERT_TRUE(peek.IsHooked());
        platformPeekMessage = reinterpret_cast<PeekMessageFn>(peek.Original());
        EXPECT_TRUE(WaitHandlingSentMessages(sender.Get(), 5000));
    }
    EXPECT_LT(0, peeks.load()) << "the wait never peeked";
    EXPECT_EQ(0u, peekFlags.load() & 0xFFFF0000u) << "a PM_QS_* flag";
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, window, kPosted, kPosted, PM_REMOVE));

    UniqueHandle never(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(WaitHandlingSentMessages(never.Get(), 50)) << "the time runs out";
    ::DestroyWindow(window);
}

}  // namespace
