#pragma once

#include <cstdint>

#include "framework/Handles.h"

// Starts fn(argument) on a new thread at normal priority with the default stack size, running at
// once. The handle is the caller's to keep or drop; an invalid one means no thread was started.
using ThreadFunction = unsigned(__stdcall*)(void* argument);
[[nodiscard]] UniqueHandle BeginThread(ThreadFunction fn, void* argument);
// The same through start, which has _beginthreadex's shape (tests hand in one that follows an
// older system's rules).
using ThreadStart = uintptr_t(__cdecl*)(void* security, unsigned stackSize, ThreadFunction fn,
                                        void* argument, unsigned flags, unsigned* threadId);
[[nodiscard]] UniqueHandle BeginThreadWith(ThreadStart start, ThreadFunction fn, void* argument);

// Waits for a handle to be signalled while still handling messages that other threads send to
// this thread's windows, so a thread that waits on a sent message can never deadlock with us.
// Posted messages stay queued. Returns false when the time ran out.
[[nodiscard]] bool WaitHandlingSentMessages(HANDLE handle, DWORD timeoutMs);
