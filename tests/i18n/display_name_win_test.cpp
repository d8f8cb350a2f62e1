// The display-name reader against the system's own profile reader, on the files of the
// shared table.
#include "display_name_cases.h"
#include "language.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace kh {
namespace {

TEST(LanguageDisplayName, AgreesWithGetPrivateProfileString) {
    test::TempDir dir;
    int n = 0;
    for (const auto& c : test::displayNameCases()) {
        // A new name per case: the system caches profile files by name.
        const std::string path = dir.file("case" + std::to_string(++n) + ".lng");
        test::writeBytes(path, test::Bytes(c.file.begin(), c.file.end()));
        char buffer[256] = {};
        GetPrivateProfileStringA("About", "Language", "", buffer, sizeof buffer, path.c_str());
        EXPECT_EQ(std::string(buffer), c.name) << c.what << " (system)";
        EXPECT_EQ(readLanguageDisplayName(c.file), std::string(buffer)) << c.what;
    }
}

} // namespace
} // namespace kh
