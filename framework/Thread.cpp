#include "framework/Thread.h"

#include <process.h>

UniqueHandle BeginThread(ThreadFunction fn, void* argument) {
    return BeginThreadWith(&_beginthreadex, fn, argument);
}

UniqueHandle BeginThreadWith(ThreadStart start, ThreadFunction fn, void* argument) {
    // Windows 95, 98 and ME start no thread without a place for its id (msvcrt passes it
    // straight on to CreateThread); nothing here needs the id itself.
    unsigned threadId = 0;
    const uintptr_t handle = start(nullptr, 0, fn, argument, 0, &threadId);
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
            // Every peek delivers the pending sent messages first, on every system; PM_NOREMOVE
            // leaves the posted ones where they are. The PM_QS_* filters would say the same
            // more narrowly, but Windows 95 and NT 4 do not know them. Whether a posted
            // message is waiting does not matter here.
            MSG msg;
            static_cast<void>(::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
            continue;
        }
        return false;  // WAIT_FAILED: the handle is not waitable; there is nothing to wait for.
    }
}
