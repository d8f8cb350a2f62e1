#pragma once
// What the program writes into the registry for itself: the account file type (".khk"
// opens with the program, rewritten at every start unless it already points at this
// executable) and the autorun value that starts it hidden with Windows. Both go to the
// user's own part of the registry, which a standard user can write.
#include <optional>
#include <string>
#include <string_view>

namespace kh {

enum class Hive { CurrentUser, LocalMachine };

// The registry as these registrations need it. An empty value name is the key's default
// value; values are REG_SZ.
class Registry {
  public:
    virtual ~Registry() = default;
    // None when the key or the value is missing or not a string.
    virtual std::optional<std::string> readString(Hive hive, std::string_view key,
                                                  std::string_view name) = 0;
    // With `create`, missing keys on the path are made; without it a missing key fails.
    virtual bool writeString(Hive hive, std::string_view key, std::string_view name,
                             std::string_view value, bool create) = 0;
    // A missing key or value counts as deleted.
    virtual bool deleteValue(Hive hive, std::string_view key, std::string_view name) = 0;
};

inline constexpr char kClassesKey[] = "Software\\Classes\\";
inline constexpr char kAccountExtension[] = ".khk";
inline constexpr char kAccountFileType[] = "Keyhaven.Account";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kAutorunValue[] = "Keyhaven";

// Writes the account file type for `exePath`. Skipped, after ".khk" itself, when the
// type's icon already names this executable (letter case aside). A key that cannot be
// written ends the step quietly. True when the type was (re)written.
bool registerAccountFileType(Registry& registry, const std::string& exePath);

// "\"<exe>\" /start".
std::string autorunCommand(const std::string& exePath);

// On: the value in the user's Run key (never created: it belongs to the system). Off: the
// value deleted there and from the machine-wide Run key, where older versions wrote it (a
// failure there is quiet).
void applyAutorun(Registry& registry, const std::string& exePath, bool on);

} // namespace kh
