#include "file_remover.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace kh {
namespace {

// The real operations, with a record of the blocks written and failures to inject.
class FaultyOps final : public RemovalFileOps {
  public:
    int shortWriteAt = -1; // block number whose write comes up one byte short
    int failFlushAt = -1;  // block number whose flush fails
    bool failCommit = false;
    bool failClose = false;
    bool failTruncate = false;
    bool failRemove = false;
    std::vector<std::size_t> blocks;

    std::unique_ptr<RemovalFile> openForUpdate(const std::string& path) override {
        auto real = nativeRemovalFileOps().openForUpdate(path);
        if (!real) return nullptr;
        return std::make_unique<File>(*this, std::move(real));
    }

  private:
    class File final : public RemovalFile {
      public:
        File(FaultyOps& ops, std::unique_ptr<RemovalFile> real)
            : ops_(ops), real_(std::move(real)) {}
        long long size() override { return real_->size(); }
        std::size_t write(const void* bytes, std::size_t length) override {
            const bool shortWrite = static_cast<int>(ops_.blocks.size()) == ops_.shortWriteAt;
            ops_.blocks.push_back(length);
            return real_->write(bytes, shortWrite ? length - 1 : length);
        }
        bool flush() override {
            const bool fail = static_cast<int>(ops_.blocks.size()) - 1 == ops_.failFlushAt;
            return real_->flush() && !fail;
        }
        bool commit() override { return real_->commit() && !ops_.failCommit; }
        bool truncate() override { return !ops_.failTruncate && real_->truncate(); }
        bool remove() override { return !ops_.failRemove && real_->remove(); }
        bool close() override { return real_->close() && !ops_.failClose; }

      private:
        FaultyOps& ops_;
        std::unique_ptr<RemovalFile> real_;
    };
};

test::Bytes pattern(std::size_t size) {
    test::Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i % 251 + 1);
    return bytes;
}

bool allZero(const test::Bytes& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

TEST(FileRemover, OverwritesInBlocksWithZerosThenDeletes) {
    test::TempDir dir;
    const std::string path = dir.file("export.xml");
    const test::Bytes original = pattern(2500);
    test::writeBytes(path, original);

    FaultyOps ops;
    FileRemover remover(ops);
    std::vector<test::Bytes> seen; // the file on disk after each block
    const RemoveOutcome outcome = remover.remove(path, [&] {
        EXPECT_TRUE(remover.busy());
        seen.push_back(test::readBytes(path));
    });

    EXPECT_EQ(outcome, RemoveOutcome::Removed);
    EXPECT_EQ(ops.blocks, (std::vector<std::size_t>{1024, 1024, 452}));
    ASSERT_EQ(seen.size(), 3u);
    const std::size_t done[] = {1024, 2048, 2500};
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(seen[i].size(), 2500u) << i; // never longer than before
        EXPECT_TRUE(allZero(test::Bytes(seen[i].begin(), seen[i].begin() + done[i]))) << i;
        EXPECT_TRUE(
            std::equal(seen[i].begin() + done[i], seen[i].end(), original.begin() + done[i]))
            << i;
    }
    EXPECT_TRUE(dir.listing().empty());
    EXPECT_FALSE(remover.busy());
}

TEST(FileRemover, BlocksCoverTheOldLengthExactlyOnce) {
    const struct {
        std::size_t size;
        std::vector<std::size_t> blocks;
    } cases[] = {{1, {1}}, {1024, {1024}}, {1025, {1024, 1}}, {3072, {1024, 1024, 1024}}};
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file("f.bin");
        test::writeBytes(path, pattern(c.size));
        FaultyOps ops;
        EXPECT_EQ(FileRemover(ops).remove(path), RemoveOutcome::Removed) << c.size;
        EXPECT_EQ(ops.blocks, c.blocks) << c.size;
        EXPECT_TRUE(dir.listing().empty()) << c.size;
    }
}

TEST(FileRemover, EmptyFileIsRefusedAndStays) {
    test::TempDir dir;
    const std::string path = dir.file("empty.xml");
    test::writeBytes(path, {});
    int blocks = 0;
    FileRemover remover;
    EXPECT_EQ(remover.remove(path, [&] { ++blocks; }), RemoveOutcome::Failed);
    EXPECT_EQ(blocks, 0);
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"empty.xml"});
    EXPECT_FALSE(remover.busy());
}

TEST(FileRemover, WhatCannotBeOpenedIsLeftAlone) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "folder");
    FileRemover remover;
    EXPECT_EQ(remover.remove(dir.file("missing.xml")), RemoveOutcome::OpenFailed);
    EXPECT_EQ(remover.remove(dir.file("folder")), RemoveOutcome::OpenFailed);
    EXPECT_EQ(remover.remove(""), RemoveOutcome::OpenFailed);
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"folder"});
}

TEST(FileRemover, EveryLaterFailureIsReported) {
    // What is left: the old length, all zeros or not, nothing but the name, or nothing.
    enum class Left { Partly, Zeroed, Empty, Gone };
    const struct {
        const char* name;
        void (*inject)(FaultyOps&);
        Left left;
    } cases[] = {
        {"short write", [](FaultyOps& o) { o.shortWriteAt = 1; }, Left::Partly},
        {"flush", [](FaultyOps& o) { o.failFlushAt = 0; }, Left::Partly},
        {"commit", [](FaultyOps& o) { o.failCommit = true; }, Left::Zeroed},
        {"truncate", [](FaultyOps& o) { o.failTruncate = true; }, Left::Zeroed},
        {"delete", [](FaultyOps& o) { o.failRemove = true; }, Left::Empty},
        // Closing comes last, on a file already emptied and deleted.
        {"close", [](FaultyOps& o) { o.failClose = true; }, Left::Gone},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file("export.xml");
        test::writeBytes(path, pattern(2500));
        FaultyOps ops;
        c.inject(ops);
        FileRemover remover(ops);
        int blocks = 0;
        EXPECT_EQ(remover.remove(path, [&] { ++blocks; }), RemoveOutcome::Failed) << c.name;
        EXPECT_FALSE(remover.busy()) << c.name;
        if (c.left == Left::Gone) {
            EXPECT_TRUE(dir.listing().empty()) << c.name;
            continue;
        }
        ASSERT_EQ(dir.listing(), std::vector<std::string>{"export.xml"}) << c.name;
        const test::Bytes left = test::readBytes(path);
        EXPECT_EQ(left.size(), c.left == Left::Empty ? 0u : 2500u) << c.name;
        EXPECT_EQ(allZero(left), c.left != Left::Partly) << c.name;
        // A failed block stops the overwrite before the window gets control again.
        const bool blockFailed = c.left == Left::Partly;
        EXPECT_EQ(blocks, blockFailed ? static_cast<int>(ops.blocks.size()) - 1 : 3) << c.name;

        // The guard is released: once the fault is gone the same remover finishes the job
        // (an emptied file is refused like any empty one).
        ops = FaultyOps{};
        EXPECT_EQ(remover.remove(path),
                  c.left == Left::Empty ? RemoveOutcome::Failed : RemoveOutcome::Removed)
            << c.name;
    }
}

TEST(FileRemover, StartingAgainFromTheMessageLoopIsRefused) {
    test::TempDir dir;
    const std::string big = dir.file("big.xml");
    const std::string other = dir.file("other.xml");
    test::writeBytes(big, pattern(4000));
    test::writeBytes(other, pattern(10));

    FileRemover remover;
    std::vector<RemoveOutcome> nested;
    EXPECT_EQ(remover.remove(big, [&] { nested.push_back(remover.remove(other)); }),
              RemoveOutcome::Removed);
    EXPECT_EQ(nested, std::vector<RemoveOutcome>(4, RemoveOutcome::Busy));
    EXPECT_EQ(test::readBytes(other), pattern(10));
    EXPECT_EQ(remover.remove(other), RemoveOutcome::Removed);
}

// Even where the user may write anything (root natively, Wine running as root), a file
// marked read-only is kept as it is.
TEST(FileRemover, ReadOnlyFileFailsToOpenAndStaysIntact) {
    test::TempDir dir;
    const std::string path = dir.file("read-only.xml");
    test::writeBytes(path, pattern(2500));
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_TRUE(isWriteProtected(path));

    FileRemover remover;
    EXPECT_EQ(remover.remove(path), RemoveOutcome::OpenFailed);
    EXPECT_EQ(test::readBytes(path), pattern(2500));

    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(isWriteProtected(path));
    EXPECT_EQ(remover.remove(path), RemoveOutcome::Removed);
}

#ifndef _WIN32
// The remover works on the file the user named, never on one a link leads to, and never on
// a file that takes the name while it works.
TEST(FileRemover, LinksPipesAndSwappedNamesAreNotFollowed) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string precious = dir.file("precious.txt");
    test::writeBytes(precious, pattern(2500));

    const std::string link = dir.file("export.xml");
    fs::create_symlink(precious, link);
    FileRemover remover;
    EXPECT_EQ(remover.remove(link), RemoveOutcome::OpenFailed);
    EXPECT_TRUE(fs::is_symlink(link));
    fs::remove(link);

    const std::string pipe = dir.file("pipe.xml");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(remover.remove(pipe), RemoveOutcome::OpenFailed); // and does not hang
    fs::remove(pipe);
    EXPECT_EQ(test::readBytes(precious), pattern(2500));

    // Halfway through, the name is moved to another file: that one stays whole, the one
    // being removed is still zeroed and cut, and the failure is reported.
    const std::string path = dir.file("export.xml");
    const std::string moved = dir.file("moved.xml");
    test::writeBytes(path, pattern(2500));
    bool swapped = false;
    EXPECT_EQ(remover.remove(path,
                             [&] {
                                 if (swapped) return;
                                 swapped = true;
                                 fs::rename(path, moved);
                                 fs::copy_file(precious, path);
                             }),
              RemoveOutcome::Failed);
    EXPECT_EQ(test::readBytes(path), pattern(2500));
    EXPECT_TRUE(test::readBytes(moved).empty());
}
#endif

#ifdef _WIN32
TEST(FileRemover, DevicesAreRefusedWhateverTheirAttributesSay) {
    FileRemover remover;
    for (const char* device : {"NUL", "CON", "nul.xml"})
        EXPECT_EQ(remover.remove(device), RemoveOutcome::OpenFailed) << device;
}

TEST(FileRemover, FileWithReadOnlyAttributeOrHeldOpenFailsToOpenAndStaysIntact) {
    test::TempDir dir;
    const std::string readOnly = dir.file("read-only.xml");
    const std::string locked = dir.file("locked.xml");
    test::writeBytes(readOnly, pattern(2500));
    test::writeBytes(locked, pattern(2500));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    FileRemover remover;
    EXPECT_EQ(remover.remove(readOnly), RemoveOutcome::OpenFailed);
    EXPECT_EQ(remover.remove(locked), RemoveOutcome::OpenFailed);
    CloseHandle(holder);

    EXPECT_EQ(test::readBytes(readOnly), pattern(2500));
    EXPECT_EQ(test::readBytes(locked), pattern(2500));
    EXPECT_EQ(remover.remove(locked), RemoveOutcome::Removed);
    // Lets the folder be cleaned up.
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#endif

} // namespace
} // namespace kh
