// The worker thread the program loads and saves on, with the real file routines: the
// thread's end must leave the process heaps whole (a per-thread buffer of the cipher that
// outlived its storage once corrupted them, and the next allocation crashed).
#include "background_work.h"
#include "account_file.h"
#include "crypto.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <vector>

namespace kh {
namespace {

bool everyHeapIsWhole() {
    std::vector<HANDLE> heaps(64);
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count == 0 || count > heaps.size()) return false;
    for (DWORD i = 0; i < count; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

TEST(WorkerThreadWork, RunsOnAnotherThreadAndLeavesTheHeapsWholeAfterTheCipher) {
    TurboDes2 cipher;
    const std::uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    cipher.setKey(key, kEncrypt);
    const DWORD caller = GetCurrentThreadId();
    test::TempDir dir;
    const std::string file = dir.file("a.khk");
    Account account;
    account.name = "alice";
    account.password = "pw";
    std::vector<AccountEntry> entries(300);
    for (auto& e : entries) {
        e.title = std::string(100, 't');
        e.data = std::string(100, 'x');
    }
    ASSERT_EQ(writeAccountFile(file, account, entries), SaveOutcome::Saved);
    for (const CipherEngine engine : {CipherEngine::Table, CipherEngine::Auto}) {
        ASSERT_TRUE(setCipherEngine(engine));
        for (int run = 0; run < 4; ++run) {
            DWORD worker = caller;
            std::vector<std::uint8_t> buffer(40000 + run * 16, 0x5A);
            LoadedAccount loaded;
            ReadOutcome outcome = ReadOutcome::NotOpened;
            WorkerThreadWork().runAndWait([&] {
                worker = GetCurrentThreadId();
                cryptBuffer(&cipher, buffer.data(), buffer.size());
                outcome = readAccountFile(file, "alice", "pw", loaded);
            });
            EXPECT_NE(worker, caller);
            EXPECT_NE(buffer[0], 0x5A);
            EXPECT_EQ(outcome, ReadOutcome::Loaded);
            EXPECT_EQ(loaded.entries.size(), entries.size());
            // Allocations after the thread's end, where the damage showed.
            std::vector<std::vector<char>> churn;
            for (int i = 0; i < 400; ++i) {
                churn.emplace_back(16 + (i * 37) % 700);
                if (i % 3 == 0) churn.erase(churn.begin() + i / 7);
            }
            ASSERT_TRUE(everyHeapIsWhole()) << "engine " << int(engine) << ", run " << run;
        }
    }
    setCipherEngine(CipherEngine::Auto);
}

TEST(WorkerThreadWork, WhatTheWorkThrowsReachesTheCaller) {
    EXPECT_THROW(WorkerThreadWork().runAndWait([] { throw std::runtime_error("no disk"); }),
                 std::runtime_error);
}

} // namespace
} // namespace kh
