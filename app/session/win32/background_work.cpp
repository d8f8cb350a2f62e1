#include "background_work.h"

#include <windows.h>

#include <exception>
#include <utility>

namespace kh {
namespace {

// The message ranges handled while the work runs: everything but keys and the mouse,
// which stay queued and reach the windows once the work is done (typed ahead, not lost).
constexpr std::pair<UINT, UINT> kHandled[] = {{0, WM_NCMOUSEMOVE - 1},
                                              {WM_NCXBUTTONDBLCLK + 1, WM_KEYFIRST - 1},
                                              {WM_KEYLAST + 1, WM_MOUSEFIRST - 1},
                                              {WM_MOUSELAST + 1, 0xFFFFFFFF}};

struct EventHandle {
    HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~EventHandle() {
        if (handle) CloseHandle(handle);
    }
};

} // namespace

void WorkerThreadWork::runAndWait(const std::function<void()>& work) {
    EventHandle done;
    if (!done.handle) {
        work(); // no event to wait on: the window waits instead
        return;
    }
    std::exception_ptr thrown;
    struct Job {
        const std::function<void()>& work;
        std::exception_ptr& thrown;
        HANDLE done;
    } job{work, thrown, done.handle};
    // A thread of its own with a stack as large as the window thread's: the file routines
    // keep their cipher's working blocks on the stack.
    HANDLE thread = CreateThread(
        nullptr, 8u << 20,
        [](void* data) -> DWORD {
            Job& j = *static_cast<Job*>(data);
            try {
                j.work();
            } catch (...) {
                j.thrown = std::current_exception();
            }
            SetEvent(j.done);
            return 0;
        },
        &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        work();
        return;
    }
    struct Joiner {
        HANDLE thread;
        void join() {
            if (!thread) return;
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            thread = nullptr;
        }
        ~Joiner() { join(); }
    } worker{thread};
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &done.handle, FALSE, INFINITE, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break; // the work is done (or waiting failed)
        MSG message;
        for (const auto& [first, last] : kHandled) {
            while (PeekMessageA(&message, nullptr, first, last, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    // Handed on to the real loop once the work is done.
                    worker.join();
                    PostQuitMessage(static_cast<int>(message.wParam));
                    if (thrown) std::rethrow_exception(thrown);
                    return;
                }
                DispatchMessageA(&message);
            }
        }
    }
    worker.join();
    if (thrown) std::rethrow_exception(thrown);
}

} // namespace kh
