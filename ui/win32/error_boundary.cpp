#include "win32/error_boundary.h"

#include <windows.h>

#include <utility>

namespace kh {
namespace {

ApplicationErrorHandler& handlerSlot() {
    static ApplicationErrorHandler handler;
    return handler;
}

bool& ignoreSlot() {
    static bool ignore = false;
    return ignore;
}

bool& reportingSlot() {
    static bool reporting = false;
    return reporting;
}

} // namespace

void setApplicationErrorHandler(ApplicationErrorHandler handler) {
    handlerSlot() = std::move(handler);
}

void setIgnoreApplicationErrors(bool ignore) {
    ignoreSlot() = ignore;
}

bool applicationErrorsIgnored() {
    return ignoreSlot();
}

void reportApplicationError(const ApplicationError& error) noexcept {
    if (ignoreSlot()) return;
    try {
        ApplicationErrorHandler& handler = handlerSlot();
        if (handler) {
            // The handler runs the report window's modal loop; an error raised meanwhile
            // reaches it again and updates the open window.
            handler(error);
            return;
        }
        // An error inside the fallback box itself must not come back here.
        if (std::exchange(reportingSlot(), true)) return;
        MessageBoxA(nullptr, error.message.c_str(), "Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
        reportingSlot() = false;
    } catch (...) {
        reportingSlot() = false;
    }
}

ApplicationError applicationErrorOf(const std::exception_ptr& exception) {
    ApplicationError error;
    if (!exception) {
        error.message = "Abnormal program termination";
        return error;
    }
    try {
        std::rethrow_exception(exception);
    } catch (const AddressedError& e) {
        error.message = e.what();
        error.address = e.address();
    } catch (const std::exception& e) {
        error.message = e.what();
    } catch (...) {
        error.message = "Unknown error";
    }
    return error;
}

void reportCurrentException() noexcept {
    reportApplicationError(applicationErrorOf(std::current_exception()));
}

} // namespace kh
