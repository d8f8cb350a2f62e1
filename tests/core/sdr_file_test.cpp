#include "sdr_file.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace kh {
namespace {

TEST(SdrFile, ReportsMisuseAsCodes) {
    SdrFile file;
    char buffer[4];
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.open("", true));
    EXPECT_EQ(file.read(buffer, 4, 0), SdrFile::kNoStream);
    EXPECT_EQ(file.write(buffer, 4, 0), SdrFile::kNoStream);
    EXPECT_EQ(file.tell(), SdrFile::kNoStream);
    EXPECT_FALSE(file.skip(0));

    test::TempDir dir;
    ASSERT_TRUE(file.open(dir.file("a.bin"), false));
    EXPECT_TRUE(file.skip(0));
    EXPECT_EQ(file.write(nullptr, 4, 0), SdrFile::kBadArguments);
    EXPECT_EQ(file.write(buffer, 0, 0), SdrFile::kBadArguments);
    EXPECT_EQ(file.read(buffer, -1, 0), SdrFile::kBadArguments);
}

TEST(SdrFile, ReadsAndWritesAtPositionsAndRestoresAfterShortTransfer) {
    test::TempDir dir;
    const std::string path = dir.file("data.bin");
    SdrFile file;
    ASSERT_TRUE(file.open(path, false));
    EXPECT_EQ(file.write("abcdef", 6, 0), 6);
    EXPECT_EQ(file.write("XY", 2, 2), 2);
    EXPECT_EQ(file.tell(), 4);
    char buffer[8] = {};
    EXPECT_EQ(file.read(buffer, 3, 1), 3);
    EXPECT_EQ(std::string(buffer, 3), "bXY");
    EXPECT_EQ(file.read(buffer, 2, -1), 2); // continues at the current position
    EXPECT_EQ(std::string(buffer, 2), "ef");

    file.setRestorePosition(true);
    EXPECT_EQ(file.read(buffer, 8, 4), 2); // short: back to where it started
    EXPECT_EQ(file.tell(), 4);
    EXPECT_TRUE(file.seekEnd());
    EXPECT_EQ(file.tell(), 6);
    EXPECT_TRUE(file.seek(-5)); // negative: to the end
    EXPECT_EQ(file.tell(), 6);
    EXPECT_TRUE(file.close());
    EXPECT_EQ(test::readBytes(path), (test::Bytes{'a', 'b', 'X', 'Y', 'e', 'f'}));
}

TEST(SdrFile, RecordOperationsUseTheRecordSize) {
    test::TempDir dir;
    SdrFile file;
    ASSERT_TRUE(file.open(dir.file("records.bin"), false));
    file.setRecordSize(4);
    EXPECT_EQ(file.writeRecords("aaaabbbbcccc", 3, 0), 3);
    EXPECT_EQ(file.recordIndex(), 3);
    ASSERT_TRUE(file.seek(6)); // inside record 1: a negative index aligns down to it
    char buffer[8] = {};
    EXPECT_EQ(file.readRecords(buffer, 2, -1), 2);
    EXPECT_EQ(std::string(buffer, 8), "bbbbcccc");
    EXPECT_TRUE(file.seekRecord(0));
    EXPECT_TRUE(file.skipRecords(2));
    EXPECT_EQ(file.tell(), 8);
}

TEST(SdrFile, ReadOnlyOpenOfMissingFileFails) {
    test::TempDir dir;
    SdrFile file;
    EXPECT_FALSE(file.open(dir.file("missing.khk"), true));
    EXPECT_TRUE(dir.listing().empty());
}

} // namespace
} // namespace kh
