// Hidden windows that receive posted messages, our stand-in for a registered
// window class with a window procedure and a thread-safe message post.
//
// Any thread may post; messages are delivered later, in order, on the thread
// that drains the queue (the UI thread). The application installs a wake-up
// hook that schedules DispatchPostedMessages() on its event loop; tests call
// DispatchPostedMessages() themselves. Posting never allocates.
#pragma once
#include <cstdint>

using hMixWindow = uint32_t;  // 0 is no window

using WindowProc = intptr_t (*)(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// A procedure that also receives the context its window was created with,
// so an object that owns a window finds itself without a table of owners.
using ContextWindowProc = intptr_t (*)(void* context, hMixWindow window, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam);

constexpr uint32_t ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_CANNOT_FIND_WND_CLASS = 1407;

// Registers a class by name. False with LastWindowError() == 1410 when the
// name is taken (the class stays as first registered).
bool RegisterWindowClass(const char* className, WindowProc proc);
uint32_t LastWindowError();

// Creates a window of a registered class; 0 (last error 1407) for an unknown class.
hMixWindow CreateCallbackWindow(const char* className);
// Creates a window, of no class, whose messages go to proc with context.
// 0 when the window table is full.
hMixWindow CreateCallbackWindow(ContextWindowProc proc, void* context);
// Messages already posted to a destroyed window are dropped, never delivered.
bool DestroyCallbackWindow(hMixWindow window);
bool IsCallbackWindow(hMixWindow window);

// Thread-safe. False when the window does not exist or the queue is full.
bool PostWindowMessage(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Delivers every message posted so far (and those posted by the procedures
// meanwhile) on the calling thread. Returns how many were delivered. An
// exception from a window procedure passes to the caller; the messages not
// yet delivered stay queued for the next call.
int DispatchPostedMessages();

// Called on the posting thread when a post finds the queue empty, so one
// DispatchPostedMessages() is due; it must only schedule that call (for
// example a queued call into the UI thread). nullptr: none.
using PostedMessageWakeup = void (*)(void* context);
void SetPostedMessageWakeup(PostedMessageWakeup wakeup, void* context);

// A window procedure that ignores everything; for windows that only collect
// notices, and what unhandled messages fall through to.
intptr_t DefaultWindowProc(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
