#include "crash_reporter.h"

#include "crash_report.h"
#include "tfrm_show_bug.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <utility>

namespace kh {
namespace {

// A filter and a terminate handler have no context of their own.
CrashReporter* activeReporter = nullptr;

constexpr DWORD kStackOverflow = 0xC00000FDu;
constexpr DWORD kMisalignment = 0x80000002u;
constexpr int kTerminateExitCode = 3;

// Faults of the processor and the system that end a thread. The C++ runtime's own
// exceptions carry customer codes and go on to the runtime; a stack overflow leaves no room
// to show a window.
bool isReportedFault(DWORD code) {
    if (code == kStackOverflow) return false;
    return (code & 0xF0000000u) == 0xC0000000u || code == kMisalignment;
}

ApplicationError faultError(const EXCEPTION_RECORD& record) {
    ApplicationError error;
    error.address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
    const DWORD count = std::min<DWORD>(record.NumberParameters, EXCEPTION_MAXIMUM_PARAMETERS);
    std::span<const std::uintptr_t> parameters(
        reinterpret_cast<const std::uintptr_t*>(record.ExceptionInformation), count);
    error.message = structuredExceptionMessage(record.ExceptionCode, error.address, parameters);
    return error;
}

} // namespace

CrashReporter::CrashReporter(TfrmShowBug& dialog, std::function<void()> endApplication)
    : dialog_(dialog), endApplication_(std::move(endApplication)) {}

CrashReporter::~CrashReporter() {
    uninstall();
}

void CrashReporter::install() {
    if (activeReporter == this) return;
    if (activeReporter) activeReporter->uninstall();
    activeReporter = this;
    thread_ = GetCurrentThreadId();
    setApplicationErrorHandler([this](const ApplicationError& error) { handleError(error); });
    previousFilter_ = SetUnhandledExceptionFilter(&CrashReporter::unhandledException);
    previousTerminate_ = std::set_terminate(&CrashReporter::unhandledCppException);
}

void CrashReporter::uninstall() {
    if (activeReporter != this) return;
    setApplicationErrorHandler(nullptr);
    SetUnhandledExceptionFilter(previousFilter_);
    std::set_terminate(previousTerminate_);
    activeReporter = nullptr;
}

bool CrashReporter::installed() const {
    return activeReporter == this;
}

void CrashReporter::applicationEnding() {
    ending_ = true;
    setIgnoreApplicationErrors(true);
}

bool CrashReporter::restartIfRequested() {
    if (!restart_ || restarted_) return false;
    restarted_ = true;
    char path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return false;
    return reinterpret_cast<INT_PTR>(
               ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

void CrashReporter::handleError(const ApplicationError& error) {
    if (restart_ || ending_ || inFatal_) return;
    if (!dialog_.handle()) {
        // The report window is gone (the program is shutting down).
        MessageBoxA(nullptr, error.message.c_str(), "Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
        return;
    }
    if (dialog_.showError(error) != ModalResult::Abort) return;
    restart_ = dialog_.restart();
    applicationEnding();
    if (endApplication_) endApplication_();
}

void CrashReporter::reportFatal(const ApplicationError& error) {
    // A fault inside the report, or while the program ends: end quietly.
    if (!inFatal_ && !ending_ && !restart_) {
        inFatal_ = true;
        if (dialog_.showFatalError(error) == ModalResult::Abort) restart_ = dialog_.restart();
    }
    applicationEnding();
    // The normal shutdown, which would start the program again, does not run now.
    restartIfRequested();
}

LONG WINAPI CrashReporter::unhandledException(EXCEPTION_POINTERS* pointers) {
    CrashReporter* self = activeReporter;
    if (!self) return EXCEPTION_CONTINUE_SEARCH;
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    // Only the user-interface thread can show the report; the program starts no others.
    if (record && isReportedFault(record->ExceptionCode) && GetCurrentThreadId() == self->thread_) {
        // The faulting code cannot be resumed, and skipping it would leave the program's
        // state undefined: report, then let the process end.
        try {
            self->reportFatal(faultError(*record));
        } catch (...) {
        }
        return EXCEPTION_EXECUTE_HANDLER;
    }
    // Among others the C++ runtime's exceptions that no frame caught: its filter sends
    // them back to the runtime, which calls the terminate handler below.
    return self->previousFilter_ ? self->previousFilter_(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

void CrashReporter::unhandledCppException() {
    try {
        if (CrashReporter* self = activeReporter)
            self->reportFatal(applicationErrorOf(std::current_exception()));
    } catch (...) {
    }
    // The report was the message; abort() would show another box.
    TerminateProcess(GetCurrentProcess(), kTerminateExitCode);
    std::_Exit(kTerminateExitCode);
}

} // namespace kh
