// One place for errors that nothing else handled. Every window procedure, timer, command
// and dialog of the program runs its work inside a boundary that catches exceptions and
// hands them here: nothing may unwind through the system's message dispatch.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace kh {

struct ApplicationError {
    std::string message;
    std::uintptr_t address = 0; // code address where the error was raised; 0 when unknown
};

using ApplicationErrorHandler = std::function<void(const ApplicationError&)>;

// Installs the program's handler (the crash report). Without one, or after it has been
// removed, the platform's standard error box shows the message.
void setApplicationErrorHandler(ApplicationErrorHandler handler);

// While the program ends or restarts, errors are dropped.
void setIgnoreApplicationErrors(bool ignore);
bool applicationErrorsIgnored();

// Hands an error to the handler. Never throws; an error inside the handler is swallowed
// so that reporting cannot loop.
void reportApplicationError(const ApplicationError& error) noexcept;

// What an exception says and, for an AddressedError, where it was raised. Without an
// exception (std::terminate called directly) the program ended abnormally.
ApplicationError applicationErrorOf(const std::exception_ptr& exception);

// Inside a catch block: reports the exception being handled.
void reportCurrentException() noexcept;

// An exception that knows where it was raised (used for errors the program raises on
// purpose, such as the test error of the debug start).
class AddressedError : public std::exception {
  public:
    AddressedError(std::string message, std::uintptr_t address)
        : message_(std::move(message)), address_(address) {}
    const char* what() const noexcept override { return message_.c_str(); }
    std::uintptr_t address() const noexcept { return address_; }

  private:
    std::string message_;
    std::uintptr_t address_;
};

// Runs `body`; an exception is reported instead of leaving the boundary. Returns false
// when the body did not finish.
template <class F> bool guardedCall(F&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        reportCurrentException();
        return false;
    }
}

// A window procedure's work inside the boundary. After an error the message answers 0,
// which for WM_NCCREATE refuses the window.
template <class F> auto guardedMessage(F&& body) noexcept -> decltype(body()) {
    decltype(body()) result{};
    guardedCall([&] { result = body(); });
    return result;
}

} // namespace kh
