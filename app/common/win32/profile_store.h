// config.ini through the Windows private-profile functions.
#pragma once

#include "settings.h"

#include <string>

namespace kh {

class Win32ProfileStore final : public ProfileStore {
  public:
    // `path` is the file's full path: a bare name would be looked for in the Windows folder.
    explicit Win32ProfileStore(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback, std::size_t maxLength) override;
    int readInt(std::string_view section, std::string_view key, int fallback) override;
    bool writeString(std::string_view section, std::string_view key,
                     std::string_view value) override;
    bool deleteKey(std::string_view section, std::string_view key) override;

  private:
    std::string path_;
};

} // namespace kh
