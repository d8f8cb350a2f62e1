#pragma once
// The Registry of registration.h on the Windows registry.
#include "registration.h"

namespace kh {

class Win32Registry final : public Registry {
  public:
    std::optional<std::string> readString(Hive hive, std::string_view key,
                                          std::string_view name) override;
    bool writeString(Hive hive, std::string_view key, std::string_view name, std::string_view value,
                     bool create) override;
    bool deleteValue(Hive hive, std::string_view key, std::string_view name) override;
};

} // namespace kh
