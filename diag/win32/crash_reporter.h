#pragma once
// The program's last stop for errors: installed at start-up, it shows every error that
// reaches the error boundary in the crash report window, and also the processor faults
// (access violations and the like) and C++ exceptions that nothing caught. After those
// the program cannot safely go on: the report is shown without Continue and the process
// ends when it closes.
#include "win32/error_boundary.h"

#include <windows.h>

#include <exception>
#include <functional>

namespace kh {

class TfrmShowBug;

class CrashReporter {
  public:
    // `endApplication` is called once the user confirmed Terminate; it must end the message
    // loop so that the normal shutdown runs (settings written, restartIfRequested()).
    CrashReporter(TfrmShowBug& dialog, std::function<void()> endApplication);
    ~CrashReporter();
    CrashReporter(const CrashReporter&) = delete;
    CrashReporter& operator=(const CrashReporter&) = delete;

    // Becomes the application's error handler, the top-level filter of structured
    // exceptions and the terminate handler, on the calling (user-interface) thread.
    void install();
    // Puts back what was there; errors then reach the standard error box.
    void uninstall();
    bool installed() const;

    // Terminate was confirmed with "Restart Application" ticked.
    bool restartRequested() const { return restart_; }
    // The program is ending: from now on errors are dropped.
    void applicationEnding();
    bool ending() const { return ending_; }
    // Starts the program's executable again if a restart was requested, once; for the end
    // of the shutdown.
    bool restartIfRequested();

  private:
    void handleError(const ApplicationError& error);
    void reportFatal(const ApplicationError& error);
    static LONG WINAPI unhandledException(EXCEPTION_POINTERS* pointers);
    [[noreturn]] static void unhandledCppException();

    TfrmShowBug& dialog_;
    std::function<void()> endApplication_;
    DWORD thread_ = 0;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter_ = nullptr;
    std::terminate_handler previousTerminate_ = nullptr;
    bool restart_ = false;
    bool restarted_ = false;
    bool ending_ = false;
    bool inFatal_ = false;
};

} // namespace kh
