#include "background_work.h"

#include <windows.h>

#include <exception>
#include <thread>

namespace kh {
namespace {

bool isInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           message == WM_NCMOUSEHOVER || message == WM_NCMOUSELEAVE;
}

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
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            thrown = std::current_exception();
        }
        SetEvent(done.handle);
    });
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &done.handle, FALSE, INFINITE, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break; // the work is done (or waiting failed)
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Handed on to the real loop once the work is done.
                worker.join();
                PostQuitMessage(static_cast<int>(message.wParam));
                if (thrown) std::rethrow_exception(thrown);
                return;
            }
            if (isInput(message.message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    worker.join();
    if (thrown) std::rethrow_exception(thrown);
}

} // namespace kh
