#include "settings.h"

#include <cstdint>
#include <limits>

namespace kh {
namespace {

constexpr char kSetting[] = "Setting";
constexpr char kBackup[] = "Backup";
constexpr char kAccount[] = "Account";
constexpr char kWindow[] = "Window";

bool readBool(ProfileStore& store, std::string_view section, std::string_view key, bool fallback) {
    return store.readInt(section, key, fallback ? 1 : 0) != 0;
}

// A value as the profile reader will give it back: one line only, and quoted when the
// reader would otherwise strip its outer blanks or quotes (an account name " bob " or a
// path in quotes must come back unchanged).
std::string storableText(std::string_view text) {
    text = text.substr(0, text.find_first_of(std::string_view("\r\n\0", 3)));
    const bool outerBlank =
        !text.empty() && (isBlankOrControl(text.front()) || isBlankOrControl(text.back()));
    const bool outerQuotes = text.size() >= 2 && text.front() == text.back() &&
                             (text.front() == '"' || text.front() == '\'');
    if (!outerBlank && !outerQuotes) return std::string(text);
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

class SettingsWriter {
  public:
    explicit SettingsWriter(ProfileStore& store) : store_(store) {}

    void text(std::string_view section, std::string_view key, std::string_view value) {
        ok_ = store_.writeString(section, key, storableText(value)) && ok_;
    }
    void number(std::string_view section, std::string_view key, long long value) {
        ok_ = store_.writeString(section, key, std::to_string(value)) && ok_;
    }
    void flag(std::string_view section, std::string_view key, bool value) {
        ok_ = store_.writeString(section, key, value ? "1" : "0") && ok_;
    }
    void remove(std::string_view section, std::string_view key) {
        ok_ = store_.deleteKey(section, key) && ok_;
    }
    // Written when not empty, deleted otherwise.
    void textOrRemove(std::string_view section, std::string_view key, std::string_view value) {
        if (value.empty())
            remove(section, key);
        else
            text(section, key, value);
    }
    bool ok() const { return ok_; }

  private:
    ProfileStore& store_;
    bool ok_ = true;
};

} // namespace

int parseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlankOrControl(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        switch (text[i + 1]) {
        case 'x':
            base = 16;
            break;
        case 'o':
            base = 8;
            break;
        case 'b':
            base = 2;
            break;
        default:
            break;
        }
        if (base != 10) i += 2;
    }
    std::uint32_t total = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = base;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'z')
            digit = static_cast<unsigned>(c - 'a') + 10;
        else if (c >= 'A' && c <= 'Z')
            digit = static_cast<unsigned>(c - 'A') + 10;
        if (digit >= base) break;
        total = total * base + digit;
    }
    if (negative) total = 0u - total;
    return static_cast<int>(total);
}

std::string withTrailingBackslash(std::string_view text) {
    std::string result(text);
    if (result.empty() || result.back() != '\\') result += '\\';
    return result;
}

Settings loadSettings(ProfileStore& store, FolderMaker& folders) {
    Settings s;
    s.language = store.readString(kSetting, "Language", "", kMaxLanguagePath);

    const std::string path = store.readString(kBackup, "Path", "", kMaxBackupPath);
    if (!path.empty()) {
        s.backupPath = withTrailingBackslash(path);
        if (!folders.folderExists(s.backupPath)) folders.createFolder(s.backupPath);
    }
    s.doBackup = readBool(store, kBackup, "DoBackup", true);
    s.times = store.readInt(kBackup, "Times", 2);
    if (s.times <= 0) s.times = 2;

    s.remember = readBool(store, kSetting, "Remember", true);
    // One byte, as the setting has always been kept: 300 reads as 44.
    s.dblClick = static_cast<std::uint8_t>(store.readInt(kSetting, "DblClick", kDblClickEdit));
    s.openLink = readBool(store, kSetting, "OpenLink", false);
    s.withIE = readBool(store, kSetting, "WithIE", true);
    s.displayPassword = readBool(store, kSetting, "DisplayPassword", true);
    s.timeout = store.readInt(kSetting, "Timeout", 3);
    if (s.timeout <= 0) s.timeout = 3;
    s.mainGuard = store.readInt(kSetting, "MainGuard", 20);
    if (s.mainGuard < 0 || s.mainGuard > 65535) s.mainGuard = 20;
    s.guard = readBool(store, kSetting, "Guard", true);
    s.guardTime = store.readInt(kSetting, "GuardTime", 20);
    if (s.guardTime <= 0 || s.guardTime > 20) s.guardTime = 20;
    s.minimize = readBool(store, kSetting, "Minimize", false);
    s.wizard = readBool(store, kSetting, "Wizard", true);
    s.autorun = readBool(store, kSetting, "Autorun", true);
    s.quit = readBool(store, kSetting, "Quit", false);
    s.lockLogout = readBool(store, kSetting, "LockLogout", true);
    s.hotkeyValue =
        static_cast<std::uint16_t>(store.readInt(kSetting, "HotkeyValue", kDefaultHotkey));
    s.hotkey = readBool(store, kSetting, "Hotkey", true);
    s.tip = readBool(store, kSetting, "Tip", true);
    s.comment = readBool(store, kSetting, "Comment", false);
    s.sub = store.readInt(kSetting, "Sub", 0);

    // The window's place is taken only whole and within sizes a screen can have.
    constexpr int kFar = 100000;
    WindowBounds b;
    b.left = store.readInt(kWindow, "Left", 0);
    b.top = store.readInt(kWindow, "Top", 0);
    b.width = store.readInt(kWindow, "Width", 0);
    b.height = store.readInt(kWindow, "Height", 0);
    if (b.known() && b.width < kFar && b.height < kFar && b.left > -kFar && b.left < kFar &&
        b.top > -kFar && b.top < kFar)
        s.window = b;

    if (s.remember) {
        s.last = store.readString(kAccount, "Last", "", kMaxLastAccountText);
        s.lastTitle = store.readString(kAccount, "LastTitle", "", kMaxLastAccountText);
    }
    return s;
}

bool saveSettings(ProfileStore& store, const Settings& s) {
    SettingsWriter w(store);
    w.flag(kSetting, "Comment", s.comment);

    // Only a known last account is written or, with Remember off, forgotten.
    if (!s.last.empty()) {
        if (s.remember)
            w.text(kAccount, "Last", s.last);
        else
            w.remove(kAccount, "Last");
    }
    if (!s.lastTitle.empty()) {
        if (s.remember)
            w.text(kAccount, "LastTitle", s.lastTitle);
        else
            w.remove(kAccount, "LastTitle");
    }

    w.textOrRemove(kBackup, "Path", s.backupPath);
    w.flag(kBackup, "DoBackup", s.doBackup);
    w.number(kBackup, "Times", s.times);
    w.textOrRemove(kSetting, "Language", s.language);

    w.flag(kSetting, "Tip", s.tip);
    w.flag(kSetting, "Wizard", s.wizard);
    w.flag(kSetting, "Autorun", s.autorun);
    w.flag(kSetting, "Quit", s.quit);
    w.flag(kSetting, "LockLogout", s.lockLogout);
    w.flag(kSetting, "Hotkey", s.hotkey);
    w.number(kSetting, "HotkeyValue", s.hotkeyValue);
    w.flag(kSetting, "DisplayPassword", s.displayPassword);
    w.number(kSetting, "Timeout", s.timeout);
    w.number(kSetting, "MainGuard", s.mainGuard);
    w.flag(kSetting, "Guard", s.guard);
    w.number(kSetting, "GuardTime", s.guardTime);
    w.flag(kSetting, "Minimize", s.minimize);
    w.flag(kSetting, "Remember", s.remember);
    w.number(kSetting, "DblClick", s.dblClick);
    w.flag(kSetting, "OpenLink", s.openLink);
    w.flag(kSetting, "WithIE", s.withIE);
    w.number(kSetting, "Sub", s.sub);
    if (s.window.known()) {
        w.number(kWindow, "Left", s.window.left);
        w.number(kWindow, "Top", s.window.top);
        w.number(kWindow, "Width", s.window.width);
        w.number(kWindow, "Height", s.window.height);
    }
    return w.ok();
}

std::string resolveProfileFolder(std::string_view appDataFolder, std::string_view programFolder,
                                 FolderMaker& folders) {
    if (!appDataFolder.empty() && folders.folderExists(std::string(appDataFolder))) {
        const std::string folder = withTrailingBackslash(appDataFolder) + "Keyhaven\\";
        if (folders.folderExists(folder) || folders.createFolder(folder)) return folder;
    }
    return std::string(programFolder);
}

int parseNumberField(std::string_view field) {
    field = trimBlanks(field);
    bool negative = false;
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    if (field.empty()) return 0;
    long long value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return 0;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(value);
}

CheckedNumber mainGuardControls(int mainGuard) {
    if (mainGuard > 0) return {true, std::to_string(mainGuard)};
    return {false, "20"};
}

CheckedNumber timeoutControls(int timeout) {
    if (timeout > 0 && timeout < 0x70000000) return {true, std::to_string(timeout)};
    return {false, "3"};
}

std::uint8_t dblClickChoice(std::uint8_t dblClick) {
    if (dblClick == kDblClickNothing || dblClick == kDblClickCopyPassword) return dblClick;
    return kDblClickEdit;
}

int mainGuardFromDialog(bool checked, std::string_view field) {
    if (!checked) return 0;
    const int minutes = parseNumberField(field);
    return minutes <= 0 || minutes > 65535 ? 20 : minutes;
}

int timeoutFromDialog(bool checked, std::string_view field) {
    if (!checked) return kTimeoutNever;
    const int seconds = parseNumberField(field);
    return seconds <= 0 ? 3 : seconds;
}

int timesFromDialog(std::string_view field) {
    const int times = parseNumberField(field);
    return times <= 0 ? 2 : times;
}

std::string backupFolderFromField(std::string_view field, std::string_view programFolder,
                                  FolderMaker& folders) {
    field = trimBlanks(field);
    std::string folder =
        field.empty() ? std::string(programFolder) + "backup\\" : withTrailingBackslash(field);
    if (!folders.folderExists(folder)) folders.createFolder(folder);
    return folder;
}

} // namespace kh
