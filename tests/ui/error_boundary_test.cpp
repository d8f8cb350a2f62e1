// The one reading of an exception that the error boundary and the crash report share, and
// what a window message answers when its work fails.
#include "win32/error_boundary.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace kh {
namespace {

TEST(ErrorBoundary, AnExceptionGivesItsMessageAndWhereItWasRaised) {
    struct Case {
        const char* thrown;
        std::exception_ptr exception;
        std::string message;
        std::uintptr_t address;
    };
    const Case cases[] = {
        {"an addressed error", std::make_exception_ptr(AddressedError("bad block", 0x1234)),
         "bad block", 0x1234},
        {"a standard exception", std::make_exception_ptr(std::runtime_error("disk full")),
         "disk full", 0},
        {"a derived one", std::make_exception_ptr(std::out_of_range("index 9")), "index 9", 0},
        {"anything else", std::make_exception_ptr(42), "Unknown error", 0},
        {"nothing (terminate called directly)", nullptr, "Abnormal program termination", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.thrown);
        const ApplicationError error = applicationErrorOf(c.exception);
        EXPECT_EQ(c.message, error.message);
        EXPECT_EQ(c.address, error.address);
    }
}

std::vector<ApplicationError> reported;

LRESULT CALLBACK refusingWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return guardedMessage([&] {
        if (msg == WM_NCCREATE) throw std::runtime_error("no window today");
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    });
}

class GuardedMessage : public ::testing::Test {
  protected:
    void SetUp() override {
        reported.clear();
        setApplicationErrorHandler(
            [](const ApplicationError& error) { reported.push_back(error); });
    }
    void TearDown() override { setApplicationErrorHandler(nullptr); }
};

TEST_F(GuardedMessage, AnswersTheWorksResultOrZeroAfterReportingItsError) {
    EXPECT_EQ(7, guardedMessage([] { return LRESULT{7}; }));
    EXPECT_TRUE(reported.empty());

    EXPECT_EQ(0, guardedMessage([]() -> LRESULT { throw AddressedError("in a window", 0xBEEF); }));
    ASSERT_EQ(1u, reported.size());
    EXPECT_EQ("in a window", reported[0].message);
    EXPECT_EQ(0xBEEFu, reported[0].address);

    // Zero for WM_NCCREATE: a window whose creation failed is refused, not left half made.
    WNDCLASSA wc{};
    wc.lpfnWndProc = &refusingWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TRefusingWindow";
    ASSERT_NE(0, RegisterClassA(&wc));
    EXPECT_EQ(nullptr, CreateWindowA("TRefusingWindow", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, wc.hInstance, nullptr));
    ASSERT_EQ(2u, reported.size());
    EXPECT_EQ("no window today", reported[1].message);
}

} // namespace
} // namespace kh
