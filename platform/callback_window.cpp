#include "platform/callback_window.h"

#include <array>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct WindowClass {
    char name[64] = {};
    WindowProc proc = nullptr;
};

struct Window {
    hMixWindow id = 0;
    WindowProc proc = nullptr;                // a class's procedure, or
    ContextWindowProc contextProc = nullptr;  // the window's own, with its context
    void* context = nullptr;
};

struct Posted {
    hMixWindow window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

constexpr size_t kMaxClasses = 32;
constexpr size_t kMaxWindows = 64;
constexpr size_t kQueueCapacity = 4096;  // as deep as a desktop message queue gets in practice

// Classes and windows belong to the UI thread; the queue is shared with the
// audio thread, so the window table is read under the same lock as the queue.
std::mutex gLock;
std::array<WindowClass, kMaxClasses> gClasses;
std::array<Window, kMaxWindows> gWindows;
uint32_t gNextWindowId = 0;
std::array<Posted, kQueueCapacity> gQueue;
size_t gHead = 0, gCount = 0;
PostedMessageWakeup gWakeup = nullptr;
void* gWakeupContext = nullptr;
thread_local uint32_t tLastError = 0;

Window* findWindow(hMixWindow id) {
    if (id == 0) return nullptr;
    for (auto& w : gWindows)
        if (w.id == id) return &w;
    return nullptr;
}

// Takes a free slot of the window table for w; the caller holds the lock.
hMixWindow addWindow(const Window& w) {
    for (auto& slot : gWindows)
        if (slot.id == 0) {
            // Ids never repeat, so a stale id cannot reach a newer window.
            if (++gNextWindowId == 0) ++gNextWindowId;
            slot = w;
            slot.id = gNextWindowId;
            tLastError = 0;
            return slot.id;
        }
    tLastError = 8;  // not enough memory
    return 0;
}

}  // namespace

uint32_t LastWindowError() { return tLastError; }

bool RegisterWindowClass(const char* className, WindowProc proc) {
    if (!className || !*className || !proc || std::strlen(className) >= sizeof(WindowClass::name)) {
        tLastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    std::lock_guard lock(gLock);
    for (auto& c : gClasses)
        if (c.proc && std::strcmp(c.name, className) == 0) {
            tLastError = ERROR_CLASS_ALREADY_EXISTS;
            return false;
        }
    for (auto& c : gClasses)
        if (!c.proc) {
            std::strcpy(c.name, className);
            c.proc = proc;
            tLastError = 0;
            return true;
        }
    tLastError = 8;  // not enough memory
    return false;
}

hMixWindow CreateCallbackWindow(const char* className) {
    std::lock_guard lock(gLock);
    WindowProc proc = nullptr;
    for (auto& c : gClasses)
        if (c.proc && className && std::strcmp(c.name, className) == 0) proc = c.proc;
    if (!proc) {
        tLastError = ERROR_CANNOT_FIND_WND_CLASS;
        return 0;
    }
    Window w;
    w.proc = proc;
    return addWindow(w);
}

hMixWindow CreateCallbackWindow(ContextWindowProc proc, void* context) {
    if (!proc) {
        tLastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    std::lock_guard lock(gLock);
    Window w;
    w.contextProc = proc;
    w.context = context;
    return addWindow(w);
}

bool DestroyCallbackWindow(hMixWindow window) {
    std::lock_guard lock(gLock);
    Window* w = findWindow(window);
    if (!w) return false;
    *w = Window{};
    return true;
}

bool IsCallbackWindow(hMixWindow window) {
    std::lock_guard lock(gLock);
    return findWindow(window) != nullptr;
}

bool PostWindowMessage(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    PostedMessageWakeup wakeup = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(gLock);
        if (!findWindow(window) || gCount == kQueueCapacity) return false;
        gQueue[(gHead + gCount) % kQueueCapacity] = Posted{window, message, wParam, lParam};
        // A queue that held something already has a dispatch coming, and a
        // dispatch runs until the queue is empty.
        if (gCount++ == 0) {
            wakeup = gWakeup;
            context = gWakeupContext;
        }
    }
    if (wakeup) wakeup(context);
    return true;
}

int DispatchPostedMessages() {
    int delivered = 0;
    for (;;) {
        Posted m;
        Window target;
        {
            std::lock_guard lock(gLock);
            if (gCount == 0) break;
            m = gQueue[gHead];
            gHead = (gHead + 1) % kQueueCapacity;
            --gCount;
            if (Window* w = findWindow(m.window)) target = *w;
        }
        if (target.contextProc) target.contextProc(target.context, m.window, m.message, m.wParam, m.lParam);
        else if (target.proc) target.proc(m.window, m.message, m.wParam, m.lParam);
        else continue;
        ++delivered;
    }
    return delivered;
}

void SetPostedMessageWakeup(PostedMessageWakeup wakeup, void* context) {
    bool waiting = false;
    {
        std::lock_guard lock(gLock);
        gWakeup = wakeup;
        gWakeupContext = context;
        waiting = gCount > 0;
    }
    // Messages posted before anyone listened would otherwise wait for ever:
    // the next post finds the queue non-empty and wakes nobody.
    if (wakeup && waiting) wakeup(context);
}

intptr_t DefaultWindowProc(hMixWindow, uint32_t, uintptr_t, intptr_t) { return 0; }
