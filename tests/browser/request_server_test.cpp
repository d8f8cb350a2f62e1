#include "fake_login_store.h"
#include "request_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>

namespace kh::browser {
namespace {

using test::FakeLoginStore;
using test::link;

constexpr std::uint32_t kBridgePid = 4242;
constexpr std::uintptr_t kBlockAddress = 0x10000;
constexpr std::uintptr_t kSecondAddress = 0x20000;
const std::string kPage = "https://example.com/login";

// The bridge's memory: one block at kBlockAddress, with a journal of what happened.
class FakeMemory : public ProcessMemory {
  public:
    class Process : public BridgeProcess {
      public:
        explicit Process(FakeMemory& m) : m_(m) {}
        ~Process() override { m_.journal.push_back("close"); }
        std::size_t read(std::uintptr_t address, std::span<std::uint8_t> into) override {
            m_.journal.push_back("read");
            RequestBlock* block = m_.at(address);
            if (!block) return 0;
            const std::size_t n = std::min(into.size(), m_.readable);
            std::memcpy(into.data(), block->data(), n);
            return n;
        }
        std::size_t write(std::uintptr_t address, std::span<const std::uint8_t> from) override {
            m_.journal.push_back("write");
            RequestBlock* block = m_.at(address);
            if (!block) return 0;
            const std::size_t n = std::min(from.size(), m_.writable);
            std::memcpy(block->data(), from.data(), n);
            return n;
        }

      private:
        FakeMemory& m_;
    };

    std::unique_ptr<BridgeProcess> open(std::uint32_t processId) override {
        journal.push_back("open");
        if (throwOnOpen) throw std::runtime_error("open");
        if (processId != kBridgePid) return nullptr;
        return std::make_unique<Process>(*this);
    }

    RequestBlock* at(std::uintptr_t address) {
        return address == kBlockAddress ? &block : address == kSecondAddress ? &second : nullptr;
    }

    RequestBlock block;
    RequestBlock second;
    std::size_t readable = kBlockSize;
    std::size_t writable = kBlockSize;
    bool throwOnOpen = false;
    std::vector<std::string> journal;
};

class FakeHost : public RequestHost {
  public:
    FakeHost(FakeMemory& memory) : memory_(memory) {}
    bool isLoggedIn() override { return loggedIn; }
    bool ensureLoggedIn() override {
        memory_.journal.push_back("ensure");
        return canLogIn;
    }
    void endRequest() override { memory_.journal.push_back("end"); }

    bool loggedIn = true;
    bool canLogIn = true;

  private:
    FakeMemory& memory_;
};

RequestBlock requestFor(std::string_view user, std::string_view pass, std::string_view address) {
    RequestBlock block;
    std::memset(block.data(), 0x5A, kBlockSize); // unused bytes must come back as they are
    putFieldText(block, kUserNameField, user);
    putFieldText(block, kPasswordField, pass);
    putFieldText(block, kAddressField, address);
    setCompletionCode(block, 0);
    return block;
}

std::vector<std::uint8_t> bytes(const RequestBlock& b) {
    return {b.data(), b.data() + kBlockSize};
}

struct Fixture {
    FakeLoginStore store{{link("alice@example.com", kPage, "pw-alice")}};
    FakeMemory memory;
    FakeHost host{memory};
    RequestServer server{store, host, memory};

    std::intptr_t serve(RequestKind kind, std::uintptr_t wParam = kBridgePid,
                        std::uintptr_t lParam = kBlockAddress) {
        return server.serve(static_cast<std::uint32_t>(kind), wParam, lParam);
    }
};

using Journal = std::vector<std::string>;

TEST(MemoryRegions, OnlyABlockWhollyInsideCommittedPrivateReadWriteMemoryIsTouched) {
    const MemoryRegion rw{0x10000, 0x2000, true, true, kPageReadWrite};
    const auto with = [&](auto change) {
        MemoryRegion region = rw;
        change(region);
        return region;
    };
    const auto protection = [&](std::uint32_t p) {
        return with([p](MemoryRegion& r) { r.protection = p; });
    };
    constexpr std::uintptr_t kTop = std::numeric_limits<std::uintptr_t>::max();
    struct Case {
        const char* what;
        MemoryRegion region;
        std::uintptr_t address;
        std::size_t size;
        bool allowed;
    };
    const Case cases[] = {
        {"inside", rw, 0x10100, kBlockSize, true},
        {"ending at the region's end", rw, 0x12000 - kBlockSize, kBlockSize, true},
        {"one byte past the end", rw, 0x12000 - kBlockSize + 1, kBlockSize, false},
        {"starting before the region", rw, 0xFFF0, kBlockSize, false},
        {"starting past the region", rw, 0x12000, kBlockSize, false},
        {"no bytes", rw, 0x10100, 0, false},
        {"at the top of the address space",
         {kTop - 0xFFF, 0x1000, true, true, kPageReadWrite},
         kTop - 10,
         kBlockSize,
         false},
        {"reserved, not committed", with([](MemoryRegion& r) { r.committed = false; }), 0x10100,
         kBlockSize, false},
        {"an image section or a mapped view",
         with([](MemoryRegion& r) { r.privateMemory = false; }), 0x10100, kBlockSize, false},
        {"read-only", protection(0x02), 0x10100, kBlockSize, false},
        {"write-copy", protection(0x08), 0x10100, kBlockSize, false},
        {"guard page", protection(0x104), 0x10100, kBlockSize, false},
        {"not cached", protection(0x204), 0x10100, kBlockSize, false},
        {"executable", protection(0x40), 0x10100, kBlockSize, false},
        {"no access", protection(0x01), 0x10100, kBlockSize, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mayTouchBlock(c.region, c.address, c.size), c.allowed) << c.what;
}
TEST(RequestServer, MessagesWithoutProcessOrBlock) {
    for (RequestKind kind : {RequestKind::GetByTitle, RequestKind::SaveLogin,
                             RequestKind::FindByPage, RequestKind::CheckLogin}) {
        Fixture f;
        EXPECT_EQ(f.serve(kind, 0), 0) << "wParam 0";
        EXPECT_EQ(f.serve(kind, kBridgePid, 0), kind == RequestKind::CheckLogin ? 1 : 0);
        f.host.loggedIn = false;
        EXPECT_EQ(f.serve(kind, kBridgePid, 0), 0);
        // Neither a login prompt nor the bridge's memory.
        EXPECT_TRUE(f.memory.journal.empty());
    }
    Fixture f;
    EXPECT_EQ(f.server.serve(0x1629, kBridgePid, kBlockAddress), 0);
    EXPECT_FALSE(RequestServer::isRequestMessage(0x543));
    EXPECT_TRUE(f.memory.journal.empty());
}

TEST(RequestServer, NoAccountOpenedEndsBeforeTheProcess) {
    Fixture f;
    f.host.canLogIn = false;
    EXPECT_EQ(f.serve(RequestKind::CheckLogin), 0);
    EXPECT_EQ(f.memory.journal, Journal{"ensure"});
}

TEST(RequestServer, ProcessThatCannotBeOpenedStillEndsTheRequest) {
    Fixture f;
    EXPECT_EQ(f.serve(RequestKind::CheckLogin, 777), 0);
    EXPECT_EQ(f.memory.journal, (Journal{"ensure", "open", "end"}));
    if constexpr (sizeof(std::uintptr_t) > 4) {
        // Not a process id at all: it must not reach OpenProcess cut to 32 bits.
        Fixture g;
        EXPECT_EQ(g.serve(RequestKind::GetByTitle, (std::uintptr_t{1} << 32) | kBridgePid), 0);
        EXPECT_EQ(g.memory.journal, (Journal{"ensure", "end"}));
    }
}

TEST(RequestServer, GetByTitleWritesPasswordCorrectedNameAndCode) {
    Fixture f;
    f.memory.block = requestFor("  alice ", "", kPage);
    RequestBlock expected = f.memory.block;
    decodeRequest(expected);
    encodeLoginReply(expected, RequestKind::GetByTitle, "alice@example.com", "pw-alice");

    EXPECT_EQ(f.serve(RequestKind::GetByTitle), 1);
    EXPECT_EQ(bytes(f.memory.block), bytes(expected));
    EXPECT_EQ(f.memory.journal, (Journal{"ensure", "open", "read", "write", "close", "end"}));
}

TEST(RequestServer, FindByPageWritesTheLogin) {
    Fixture f;
    f.memory.block = requestFor("", "", "https://example.com/other");
    EXPECT_EQ(f.serve(RequestKind::FindByPage), 1);
    EXPECT_EQ(fieldText(f.memory.block, kUserNameField), "alice@example.com");
    EXPECT_EQ(fieldText(f.memory.block, kPasswordField), "pw-alice");
    EXPECT_EQ(completionCode(f.memory.block), 0x1625u);
}

TEST(RequestServer, NothingFoundLeavesTheBlockAlone) {
    for (RequestKind kind :
         {RequestKind::GetByTitle, RequestKind::FindByPage, RequestKind::CheckLogin}) {
        Fixture f;
        f.memory.block = requestFor("bob", "", "https://other.example/");
        const auto before = bytes(f.memory.block);
        EXPECT_EQ(f.serve(kind), kind == RequestKind::CheckLogin ? 1 : 0);
        EXPECT_EQ(bytes(f.memory.block), before);
        EXPECT_EQ(f.memory.journal, (Journal{"ensure", "open", "read", "close", "end"}));
    }
}

TEST(RequestServer, SaveLoginStoresAndAnswers) {
    Fixture f;
    f.memory.block = requestFor(" bob ", " new pw ", kPage);
    EXPECT_EQ(f.serve(RequestKind::SaveLogin), 1);
    ASSERT_EQ(f.store.rows.size(), 2u);
    EXPECT_EQ(f.store.rows[1].title, "bob");
    EXPECT_EQ(f.store.rows[1].data, " new pw ") << "the password is taken untrimmed";
    EXPECT_EQ(completionCode(f.memory.block), 0x1623u);
    EXPECT_EQ(fieldText(f.memory.block, kPasswordField), " new pw ");

    // A failed save is no success: nothing written back.
    Fixture g;
    g.store.saveSucceeds = false;
    g.memory.block = requestFor("bob", "pw", kPage);
    EXPECT_EQ(g.serve(RequestKind::SaveLogin), 0);
    EXPECT_EQ(completionCode(g.memory.block), 0u);
}

TEST(RequestServer, CheckLoginAnswersInTheCompletionCode) {
    Fixture f;
    f.memory.block = requestFor("alice@example.com", "", "HTTPS://example.com/LOGIN");
    EXPECT_EQ(f.serve(RequestKind::CheckLogin), 1);
    EXPECT_EQ(completionCode(f.memory.block), 0x1627u);
    EXPECT_TRUE(f.store.rows.size() == 1 && f.store.replaces == 0);
}

TEST(RequestServer, RefusedBlocks) {
    struct Case {
        std::string_view what;
        std::function<void(Fixture&)> damage;
        bool written;
    };
    const Case cases[] = {
        {"completion code already set",
         [](Fixture& f) { setCompletionCode(f.memory.block, 0x1621); }, false},
        {"completion code in its high byte", [](Fixture& f) { f.memory.block[455] = 1; }, false},
        {"short read", [](Fixture& f) { f.memory.readable = kBlockSize - 1; }, false},
        {"short write", [](Fixture& f) { f.memory.writable = kBlockSize - 1; }, true},
        {"the list throws", [](Fixture& f) { f.store.throwOnRow = true; }, false},
    };
    for (const Case& c : cases) {
        for (RequestKind kind : {RequestKind::GetByTitle, RequestKind::CheckLogin}) {
            Fixture f;
            f.memory.block = requestFor("alice@example.com", "", kPage);
            c.damage(f);
            const auto before = bytes(f.memory.block);
            // CheckLogin has answered 1 once the process was open; the others need the
            // block written in full.
            EXPECT_EQ(f.serve(kind), kind == RequestKind::CheckLogin ? 1 : 0) << c.what;
            if (!c.written) {
                EXPECT_EQ(bytes(f.memory.block), before) << c.what;
            }
            EXPECT_EQ(f.memory.journal.back(), "end") << c.what;
            EXPECT_EQ(std::count(f.memory.journal.begin(), f.memory.journal.end(), "write"),
                      c.written ? 1 : 0)
                << c.what;
        }
    }
}

TEST(RequestServer, AnErrorOpeningTheProcessStillEndsTheRequest) {
    Fixture f;
    f.memory.throwOnOpen = true;
    EXPECT_THROW(f.serve(RequestKind::GetByTitle), std::runtime_error);
    EXPECT_EQ(f.memory.journal, (Journal{"ensure", "open", "end"}));
}

// The login prompt of the program, scripted.
class FakeLoginUi : public LoginUi {
  public:
    bool isLoggedIn() override { return loggedIn; }
    bool loginDialogOnScreen() override { return dialogOnScreen; }
    void waitForLoginDialog() override {
        journal.push_back("wait");
        if (duringWait) duringWait();
    }
    void completePendingLogin() override {
        journal.push_back("pending");
        if (pendingLogin) loggedIn = true;
    }
    void setLoginStayOnTop(bool onTop) override { journal.push_back(onTop ? "top" : "untop"); }
    void showLoginForLastAccount() override {
        journal.push_back("show");
        dialogOnScreen = true;
        if (duringShow) duringShow();
        dialogOnScreen = false;
    }
    void endProcessMode() override { journal.push_back("process"); }

    bool loggedIn = false;
    bool dialogOnScreen = false;
    bool pendingLogin = false;
    std::function<void()> duringWait;
    std::function<void()> duringShow;
    Journal journal;
};

TEST(LoginGate, LoggedInAlready) {
    FakeLoginUi ui;
    ui.loggedIn = true;
    LoginGate gate(ui);
    EXPECT_TRUE(gate.ensureLoggedIn());
    EXPECT_TRUE(gate.serving());
    gate.endRequest();
    EXPECT_FALSE(gate.serving());
    EXPECT_EQ(ui.journal, Journal{"process"});
}

TEST(LoginGate, PromptsOnTopAndEndsTheRequestWhenTheLoginFails) {
    FakeLoginUi ui;
    LoginGate gate(ui);
    bool servingDuringPrompt = false;
    ui.duringShow = [&] { servingDuringPrompt = gate.serving(); };
    EXPECT_FALSE(gate.ensureLoggedIn());
    EXPECT_TRUE(servingDuringPrompt) << "warnings stay silent during the browser's login";
    EXPECT_FALSE(gate.serving());
    EXPECT_EQ(ui.journal, (Journal{"top", "show", "untop", "process"}));
}

TEST(LoginGate, PromptsOnTopAndServesAfterTheLogin) {
    FakeLoginUi ui;
    LoginGate gate(ui);
    ui.duringShow = [&] { ui.loggedIn = true; };
    EXPECT_TRUE(gate.ensureLoggedIn());
    EXPECT_EQ(ui.journal, (Journal{"top", "show"}));
    gate.endRequest();
    EXPECT_EQ(ui.journal, (Journal{"top", "show", "untop", "process"}));
}

TEST(LoginGate, WaitsForALoginAlreadyOnScreen) {
    struct Case {
        std::string_view what;
        bool logsInDuringWait;
        bool pendingLogin;
        bool result;
        Journal journal;
    };
    const Case cases[] = {
        {"the user logs in", true, false, true, {"wait"}},
        {"a confirmed login is carried out", false, true, true, {"wait", "pending"}},
        {"the user gives up", false, false, false, {"wait", "pending"}},
    };
    for (const Case& c : cases) {
        FakeLoginUi ui;
        ui.dialogOnScreen = true;
        ui.pendingLogin = c.pendingLogin;
        if (c.logsInDuringWait) ui.duringWait = [&] { ui.loggedIn = true; };
        LoginGate gate(ui);
        EXPECT_EQ(gate.ensureLoggedIn(), c.result) << c.what;
        // A failure here only leaves the serving state: no end of request.
        EXPECT_EQ(ui.journal, c.journal) << c.what;
        EXPECT_EQ(gate.serving(), c.result) << c.what;
    }
}

TEST(LoginGate, AnErrorInThePromptLeavesTheServingState) {
    FakeLoginUi ui;
    LoginGate gate(ui);
    ui.duringShow = [] { throw std::runtime_error("prompt"); };
    EXPECT_THROW(gate.ensureLoggedIn(), std::runtime_error);
    EXPECT_FALSE(gate.serving());
    EXPECT_EQ(ui.journal, (Journal{"top", "show", "untop", "process"}));
}

// A second request arrives while the first one waits in its login prompt (the prompt runs
// a nested message loop). The inner one must not end the outer one's state.
TEST(LoginGate, ASecondRequestDuringTheLoginPromptKeepsTheFirstOnesState) {
    FakeLoginUi ui;
    LoginGate gate(ui);
    FakeLoginStore store{{link("alice", kPage, "pw")}};
    FakeMemory memory;
    RequestServer server(store, gate, memory);
    memory.block = requestFor("alice", "", kPage);
    memory.second = requestFor("alice", "", kPage);

    std::intptr_t inner = -1;
    bool servingAfterInner = false;
    ui.duringShow = [&] {
        ui.duringWait = [&] { ui.loggedIn = true; }; // the user logs in
        inner = server.serve(0x1627, kBridgePid, kSecondAddress);
        servingAfterInner = gate.serving();
        ui.journal.push_back("inner done");
    };
    store.loggedIn = true;
    const std::intptr_t outer = server.serve(0x1621, kBridgePid, kBlockAddress);

    EXPECT_EQ(inner, 1);
    EXPECT_EQ(completionCode(memory.second), 0x1627u);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(completionCode(memory.block), 0x1621u);
    EXPECT_TRUE(servingAfterInner);
    EXPECT_FALSE(gate.serving());
    // The dialog stays on top and the program shown until the outer request ends.
    EXPECT_EQ(ui.journal, (Journal{"top", "show", "wait", "inner done", "untop", "process"}));
}

} // namespace
} // namespace kh::browser
