#pragma once

#include "framework/Handles.h"

// Starts fn(argument) on a new thread at normal priority with the default stack size, running at
// once. The handle is the caller's to keep or drop; an invalid one means no thread was started.
using ThreadFunction = unsigned(__stdcall*)(void* argument);
[[nodiscard]] UniqueHandle BeginThread(ThreadFunction fn, void* argument);

// Waits for a handle to be signalled while still handling messages that other threads send to
// this thread's windows, so a thread that waits on a sent message can never deadlock with us.
// Returns false when the time ran out.
[[nodiscard]] bool WaitHandlingSentMessages(HANDLE handle, DWORD timeoutMs);
