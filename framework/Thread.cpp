#include "framework/Thread.h"

#include <process.h>

UniqueHandle BeginThread(ThreadFunction fn, void* argument) {
    const uintptr_t handle = _beginthreadex(nullptr, 0, fn, argument, 0, nullptr);
    return UniqueHandle(reinterpret_cast<HANDLE>(handle));
}

bool WaitHandlingSentMessages(HANDLE handle, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            const DWORD elapsed = ::GetTickCount() - start;
            if (elapsed >= timeoutMs) return false;
            remaining = timeoutMs - elapsed;
        }
        const DWORD r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r == WAIT_TIMEOUT) return false;
        if (r == WAIT_OBJECT_0 + 1) {
            // Peeking delivers the pending sent messages without taking any posted one.
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        return false;  // WAIT_FAILED: the handle is not waitable; there is nothing to wait for.
    }
}
