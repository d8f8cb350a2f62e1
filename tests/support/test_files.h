// Helpers shared by the tests: a private temporary folder, whole-file access and hex.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kh::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh empty folder, removed with everything in it when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of `name` inside the folder, as the narrow text the product takes.
    std::string file(std::string_view name) const;
    // Names of the files now in the folder, sorted.
    std::vector<std::string> listing() const;

  private:
    std::filesystem::path path_;
};

Bytes readBytes(const std::string& path);
void writeBytes(const std::string& path, const Bytes& bytes);
Bytes fromHex(std::string_view hex);
std::string toHex(const std::uint8_t* bytes, std::size_t length);

} // namespace kh::test
