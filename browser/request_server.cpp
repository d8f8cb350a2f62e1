#include "request_server.h"

#include <exception>
#include <limits>

namespace kh::browser {

bool mayTouchBlock(const MemoryRegion& region, std::uintptr_t address, std::size_t size) {
    if (!region.committed || !region.privateMemory || region.protection != kPageReadWrite)
        return false;
    if (size == 0 || address < region.base) return false;
    const std::uintptr_t offset = address - region.base;
    return offset < region.size && size <= region.size - offset;
}

std::intptr_t RequestServer::serve(std::uint32_t message, std::uintptr_t wParam,
                                   std::uintptr_t lParam) {
    const std::optional<RequestKind> kind = requestKind(message);
    if (!kind || wParam == 0) return 0;
    if (lParam == 0) {
        // The status form asks without a block and never prompts.
        if (*kind == RequestKind::CheckLogin) return host_.isLoggedIn() ? 1 : 0;
        return 0;
    }
    if (!host_.ensureLoggedIn()) return 0;

    std::intptr_t result = 0;
    std::exception_ptr escaped;
    {
        std::unique_ptr<BridgeProcess> process;
        // A process id is 32 bits wide; anything larger names no process.
        if (wParam <= std::numeric_limits<std::uint32_t>::max()) {
            try {
                process = memory_.open(static_cast<std::uint32_t>(wParam));
            } catch (...) {
                escaped = std::current_exception();
            }
        }
        if (process) {
            if (*kind == RequestKind::CheckLogin) result = 1;
            try {
                runOperation(*kind, *process, lParam, result);
            } catch (...) {
                // A broken block or a failed search ends the request quietly; the bridge
                // sees the result as it stood.
            }
        }
    }
    host_.endRequest();
    if (escaped) std::rethrow_exception(escaped);
    return result;
}

void RequestServer::runOperation(RequestKind kind, BridgeProcess& process, std::uintptr_t address,
                                 std::intptr_t& result) {
    RequestBlock block;
    if (process.read(address, std::span(block.data(), kBlockSize)) < kBlockSize) return;
    RequestFields in = decodeRequest(block);
    if (in.completionCode != 0) return;

    bool succeeded = false;
    switch (kind) {
    case RequestKind::GetByTitle:
        if (auto found = findPasswordByTitle(store_, in.userName, in.address);
            found && !found->password.empty() && !found->userName.empty()) {
            encodeLoginReply(block, kind, found->userName, found->password.view());
            succeeded = true;
        }
        break;
    case RequestKind::FindByPage:
        if (auto found = findLoginByAddress(store_, in.address);
            found && !found->password.empty() && !found->userName.empty()) {
            encodeLoginReply(block, kind, found->userName, found->password.view());
            succeeded = true;
        }
        break;
    case RequestKind::SaveLogin:
        succeeded = storeLogin(store_, in.userName, in.password.view(), in.address);
        if (succeeded) encodeReply(block, kind);
        break;
    case RequestKind::CheckLogin:
        succeeded = findExactLogin(store_, in.userName, in.address).has_value();
        if (succeeded) encodeReply(block, kind);
        break;
    }
    if (!succeeded) return;
    if (process.write(address, std::span<const std::uint8_t>(block.data(), kBlockSize)) <
        kBlockSize)
        return;
    result = 1;
}

bool LoginGate::ensureLoggedIn() {
    ++depth_;
    bool prompted = false;
    try {
        if (ui_.isLoggedIn()) return true;
        if (ui_.loginDialogOnScreen()) {
            // The user is already logging in: wait for that login instead of a second one.
            ui_.waitForLoginDialog();
            if (!ui_.isLoggedIn()) ui_.completePendingLogin();
            if (ui_.isLoggedIn()) return true;
            leave();
            return false;
        }
        prompted = true;
        stayOnTop_ = true;
        ui_.setLoginStayOnTop(true);
        ui_.showLoginForLastAccount();
        if (ui_.isLoggedIn()) return true;
    } catch (...) {
        // Whatever broke, this request no longer holds the serving state.
        if (prompted)
            endRequest();
        else
            leave();
        throw;
    }
    endRequest();
    return false;
}

void LoginGate::leave() {
    if (depth_ > 0) --depth_;
}

void LoginGate::endRequest() {
    leave();
    // The outer request still waits in its login prompt: its dialog stays on top and the
    // program stays shown until that request ends.
    if (depth_ > 0) return;
    if (stayOnTop_) {
        stayOnTop_ = false;
        ui_.setLoginStayOnTop(false);
    }
    ui_.endProcessMode();
}

} // namespace kh::browser
