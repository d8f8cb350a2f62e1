// Serving the request messages of a browser bridge: the same frame for all four messages,
// around the login on demand and the read and write of the bridge's request block. The
// frame is platform-free; the program supplies the process memory and the login prompt.
#pragma once

#include "login_match.h"
#include "request_block.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kh::browser {

// PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION: reading and writing the
// block, and asking which pages it lies in and whose process it is. Without
// PROCESS_VM_OPERATION the handle cannot change a page's protection.
inline constexpr std::uint32_t kProcessMemoryAccess = 0x0430;

// What the system tells of the pages around an address (VirtualQueryEx).
struct MemoryRegion {
    std::uintptr_t base = 0;
    std::size_t size = 0;
    bool committed = false;
    bool privateMemory = false; // neither an image section nor a mapped view
    std::uint32_t protection = 0;
};
// PAGE_READWRITE, with no guard, caching or execute bits.
inline constexpr std::uint32_t kPageReadWrite = 0x04;

// Whether a request block of `size` bytes at `address` may be read or written: it lies
// whole inside one region of committed, private, plain read-write memory, the kind a
// program's own stack and heap are made of. Anything else (code, constants, mapped files,
// guard pages, pages that are not there) is refused, so that a request cannot read or
// change what is not a block of its sender.
bool mayTouchBlock(const MemoryRegion& region, std::uintptr_t address, std::size_t size);

// A bridge process opened for memory access; closed when the object goes away.
class BridgeProcess {
  public:
    virtual ~BridgeProcess() = default;
    // The number of bytes transferred (0 on failure, and for memory that mayTouchBlock
    // refuses).
    virtual std::size_t read(std::uintptr_t address, std::span<std::uint8_t> into) = 0;
    virtual std::size_t write(std::uintptr_t address, std::span<const std::uint8_t> from) = 0;
};

class ProcessMemory {
  public:
    virtual ~ProcessMemory() = default;
    // Opens the process with kProcessMemoryAccess; null when that is refused, and for a
    // process that does not run as the same user as this one.
    virtual std::unique_ptr<BridgeProcess> open(std::uint32_t processId) = 0;
};

// The session side of a request.
class RequestHost {
  public:
    virtual ~RequestHost() = default;
    // The status form's answer; also counts as user activity.
    virtual bool isLoggedIn() = 0;
    // Makes sure an account is open, prompting for a login when needed. On success the
    // serving state has been entered and endRequest will follow; on failure the host has
    // already cleaned up.
    virtual bool ensureLoggedIn() = 0;
    // The end of a request that got past ensureLoggedIn (the process handle is closed).
    virtual void endRequest() = 0;
};

class RequestServer {
  public:
    RequestServer(LoginStore& store, RequestHost& host, ProcessMemory& memory)
        : store_(store), host_(host), memory_(memory) {}

    static bool isRequestMessage(std::uint32_t message) { return requestKind(message).has_value(); }

    // Serves one message sent to the login window and returns its result: wParam is the
    // bridge's process id, lParam the address of its request block. A message that is no
    // request answers 0.
    std::intptr_t serve(std::uint32_t message, std::uintptr_t wParam, std::uintptr_t lParam);

  private:
    void runOperation(RequestKind kind, BridgeProcess& process, std::uintptr_t address,
                      std::intptr_t& result);

    LoginStore& store_;
    RequestHost& host_;
    ProcessMemory& memory_;
};

// The login prompt as the program shows it (the login dialog and the main window).
class LoginUi {
  public:
    virtual ~LoginUi() = default;
    // Also counts as user activity.
    virtual bool isLoggedIn() = 0;
    // The user is logging in right now.
    virtual bool loginDialogOnScreen() = 0;
    // Brings the login dialog to the front and processes window messages until it has
    // closed with a result, an account has been logged in, or it is no longer visible.
    virtual void waitForLoginDialog() = 0;
    // Carries out a login that the dialog holds confirmed but not yet done (file, name and
    // password), clearing the dialog's stored password first. Nothing when there is none.
    virtual void completePendingLogin() = 0;
    virtual void setLoginStayOnTop(bool onTop) = 0;
    // The login dialog, modal, for the last account file and name.
    virtual void showLoginForLastAccount() = 0;
    // In process mode ("/Process") with the main window visible: hide the program to the
    // notification area. Process mode ends either way.
    virtual void endProcessMode() = 0;
};

// ensureLoggedIn and the end of a request on top of the login prompt. The serving state is
// a depth: a second request that arrives while the first one waits in the login prompt
// enters and leaves it again without ending the first one's state.
class LoginGate : public RequestHost {
  public:
    explicit LoginGate(LoginUi& ui) : ui_(ui) {}

    bool isLoggedIn() override { return ui_.isLoggedIn(); }
    bool ensureLoggedIn() override;
    void endRequest() override;

    // While a request is served, login failures show no warning.
    bool serving() const { return depth_ > 0; }
    int servingDepth() const { return depth_; }

  private:
    void leave();

    LoginUi& ui_;
    int depth_ = 0;
    bool stayOnTop_ = false;
};

} // namespace kh::browser
