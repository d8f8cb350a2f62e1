#include "backup.h"

#include "file_system.h"
#include "sdr_file.h"
#include "secure_memory.h"
#include "text_format.h"

#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace kh {
namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/:";
constexpr char kSeparator = '\\';
bool makeOneFolder(const std::string& folder) {
    return ::_mkdir(folder.c_str()) == 0;
}
void keepPrivate(const std::string&) {}
#else
constexpr const char* kSeparators = "/";
constexpr char kSeparator = '/';
bool makeOneFolder(const std::string& folder) {
    return ::mkdir(folder.c_str(), 0700) == 0;
}
// Backups hold the same account as the file itself: no wider access than the owner's.
void keepPrivate(const std::string& path) {
    ::chmod(path.c_str(), 0600);
}
#endif

bool isSeparator(char c) {
    for (const char* s = kSeparators; *s; ++s)
        if (*s == c) return true;
    return false;
}

class NativeSessionFiles final : public SessionFiles {
  public:
    const char* separators() const override { return kSeparators; }
    char separator() const override { return kSeparator; }

    bool folderExists(const std::string& folder) override {
        return nativeFileSystem().pathKind(trimmed(folder)) == PathKind::Directory;
    }

    bool createFolders(const std::string& folder) override {
        const std::string path = trimmed(folder);
        if (path.empty()) return false;
        // Every prefix that ends just before a separator is a level to make, parents first.
        // A level that cannot be made (a share's root, say) may exist without being
        // visible; only the end result counts.
        for (std::size_t i = 1; i < path.size(); ++i) {
            if (!isSeparator(path[i]) || isSeparator(path[i - 1]) || path[i - 1] == ':') continue;
            const std::string level = path.substr(0, i);
            if (nativeFileSystem().pathKind(level) == PathKind::Missing) makeOneFolder(level);
        }
        if (nativeFileSystem().pathKind(path) == PathKind::Missing) makeOneFolder(path);
        return nativeFileSystem().pathKind(path) == PathKind::Directory;
    }

    bool copyFile(const std::string& source, const std::string& target) override {
        if (nativeFileSystem().pathKind(source) != PathKind::File) return false;
        SdrFile in;
        if (!in.open(source, true) || !in.seekEnd()) return false;
        const long long size = in.tell();
        if (size < 0) return false;
        WipedBuffer bytes(static_cast<std::size_t>(size) + 1);
        if (size > 0 && in.read(bytes.data(), size, 0) != size) return false;
        in.close();

        SdrFile out;
        if (!out.open(target, false)) return false;
        keepPrivate(target);
        const bool written = size == 0 || out.write(bytes.data(), size, 0) == size;
        const bool flushed = out.flush();
        return out.close() && written && flushed;
    }

  private:
    // A folder name keeps its trailing separator in the session; the system calls do not
    // want it.
    static std::string trimmed(std::string folder) {
        while (folder.size() > 1 && isSeparator(folder.back()) && folder[folder.size() - 2] != ':')
            folder.pop_back();
        return folder;
    }
};

} // namespace

SessionFiles& nativeSessionFiles() {
    static NativeSessionFiles files;
    return files;
}

std::string defaultBackupFolder(const std::string& accountFile, const std::string& programFolder,
                                const SessionFiles& files) {
    std::string folder = folderOf(accountFile, files.separators());
    if (folder.empty()) folder = programFolder;
    return folder + "backup" + files.separator();
}

int nextBackupNumber(int current) {
    const int next = current + 1;
    return next < 0 || next > 9 ? 0 : next;
}

std::string backupFileName(const std::string& folder, const std::string& accountName, int number) {
    return formatText("%s%s%d.khk", {folder, accountName, number});
}

} // namespace kh
