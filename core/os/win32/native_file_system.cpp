#include "file_system.h"
#include "wide_path.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <vector>

namespace kh {
namespace {

using win32::narrowPath;
using win32::narrowTo;
using win32::widePath;

constexpr const char* kSeparators = "\\/:";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }

  private:
    HANDLE h_;
};

// A name that does not convert exactly names no file: the system's calls fail on it.
HANDLE openPath(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) {
    const std::wstring wide = widePath(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

DWORD attributesOf(const std::string& path) {
    const std::wstring wide = widePath(path);
    return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

bool setAttributes(const std::string& path, DWORD attributes) {
    const std::wstring wide = widePath(path);
    return !wide.empty() && SetFileAttributesW(wide.c_str(), attributes) != 0;
}

bool deletePath(const std::string& path) {
    const std::wstring wide = widePath(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return DeleteFileW(wide.c_str()) != 0;
}

bool movePath(const std::string& source, const std::string& target) {
    const std::wstring from = widePath(source);
    const std::wstring to = widePath(target);
    return !from.empty() && !to.empty() &&
           MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Opens a path for its kind and name only (no access to the content), following links.
HANDLE openForQuery(const std::string& path) {
    return openPath(path, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// What an opened handle is: a disk file, a folder, or something else (a device, a pipe).
PathKind kindOf(HANDLE h) {
    if (GetFileType(h) != FILE_TYPE_DISK) return PathKind::Other;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) return PathKind::Other;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory
                                                              : PathKind::File;
}

// The temporary file of a save of `target`. The program names files in the ANSI code
// page and khcli in UTF-8: both derive the name from the ANSI form where the name has one,
// so that their saves of one file take one lock.
std::string tempFor(const std::string& target) {
    if (pathEncoding() == PathEncoding::Utf8) {
        std::string ansi;
        const std::wstring wide = widePath(target);
        if (!wide.empty() && narrowTo(CP_ACP, wide, ansi)) {
            const std::string temp = tempNameFor(ansi, kSeparators);
            return folderOf(target, kSeparators) + temp.substr(folderOf(ansi, kSeparators).size());
        }
    }
    return tempNameFor(target, kSeparators);
}

std::string lockNameOf(const std::string& temp) {
    return temp.substr(0, temp.size() - 4) + ".lck";
}

// The temporary file of a save. Another save of the same target is kept out by a lock
// file that only one process can hold open and that the system deletes when its handle
// closes, also when the process dies. (The temporary file cannot carry the lock itself:
// ReplaceFile opens it without sharing.)
class LockedTempFile final : public SdrFile {
  public:
    explicit LockedTempFile(HANDLE lock) : lock_(lock) {}
    ~LockedTempFile() override {
        SdrFile::close();
        CloseHandle(lock_);
    }

  private:
    HANDLE lock_;
};

class Win32FileSystem final : public FileSystem {
  public:
    PathKind pathKind(const std::string& path) override {
        if (path.empty()) return PathKind::Missing;
        Handle h(openForQuery(path));
        if (h.valid()) return kindOf(h.get());
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME)
            return PathKind::Missing;
        const DWORD attributes = attributesOf(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
        // There, but not even open for its name (a busy pipe, say): nothing to replace.
        return PathKind::Other;
    }

    bool canWrite(const std::string& path) override {
        Handle h(openPath(path, GENERIC_WRITE, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
        return h.valid();
    }

    std::string finalPath(const std::string& path) override {
        Handle h(openForQuery(path));
        if (!h.valid() || kindOf(h.get()) != PathKind::File) return path;
        std::wstring wide(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length =
                GetFinalPathNameByHandleW(h.get(), wide.data(), static_cast<DWORD>(wide.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (length == 0) return path;
            if (length < wide.size()) {
                wide.resize(length);
                break;
            }
            wide.assign(length + 1, L'\0');
        }
        // "\\?\C:\..." and "\\?\UNC\server\share\..." in the forms every function takes.
        std::wstring plain = wide;
        if (plain.rfind(L"\\\\?\\UNC\\", 0) == 0)
            plain = L"\\\\" + plain.substr(8);
        else if (plain.rfind(L"\\\\?\\", 0) == 0)
            plain = plain.substr(4);
        std::string result;
        if (!narrowPath(plain.size() < MAX_PATH ? plain : wide, result)) return path;
        return result;
    }

    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        const std::string temp = tempFor(target);
        Handle lock(openPath(lockNameOf(temp), GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE));
        if (!lock.valid()) return nullptr; // another save holds it, or no such folder

        // Holding the lock, whatever is under the temporary name is a leftover.
        setAttributes(temp, FILE_ATTRIBUTE_NORMAL);
        if (!deletePath(temp) && GetLastError() != ERROR_FILE_NOT_FOUND) return nullptr;
        Handle h(
            openPath(temp, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
        if (!h.valid()) return nullptr;
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h.get()), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h.release());
            deletePath(temp);
            return nullptr;
        }
        h.release();
        std::FILE* stream = _fdopen(fd, "w+b");
        if (stream == nullptr) {
            _close(fd);
            deletePath(temp);
            return nullptr;
        }
        auto file = std::make_unique<LockedTempFile>(lock.release());
        file->attach(stream, true);
        tempPath = temp;
        return file;
    }

    bool commitToDisk(SdrFile& file) override {
        if (!file.flush()) return false;
        return _commit(_fileno(file.stream())) == 0;
    }

    bool replaceFile(const std::string& source, const std::string& target) override {
        const DWORD attributes = attributesOf(target);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return movePath(source, target);

        // ReplaceFile keeps the old file's access rights, encryption and streams; the
        // attributes such as hidden and system are given to the new file here.
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (attributes & kKept) setAttributes(source, attributes & kKept);
        const std::wstring from = widePath(source);
        const std::wstring to = widePath(target);
        if (from.empty() || to.empty()) return false;
        if (ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                         nullptr))
            return true;
        // The old file is gone but the new one could not take its name: finish by hand.
        if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT) return movePath(source, target);
        return false;
    }

    bool removeFile(const std::string& path) override { return deletePath(path); }

    bool saveLockHeld(const std::string& target) override {
        Handle lock(openPath(lockNameOf(tempFor(target)), GENERIC_READ, 0, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL));
        if (lock.valid()) return false; // a leftover nobody holds (the system removes it)
        const DWORD error = GetLastError();
        // Held open without sharing; or being deleted as its holder lets go.
        return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    }
};

} // namespace

FileSystem& nativeFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    Handle h(openForQuery(path));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.valid() || !GetFileInformationByHandle(h.get(), &info)) return std::nullopt;
    return identityOf(info);
}

std::optional<FileFingerprint> describeOpenFile(SdrFile& file) {
    if (file.stream() == nullptr) return std::nullopt;
    const intptr_t osHandle = _get_osfhandle(_fileno(file.stream()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (osHandle == -1 || !GetFileInformationByHandle(reinterpret_cast<HANDLE>(osHandle), &info))
        return std::nullopt;
    FileFingerprint print;
    print.identity = identityOf(info);
    print.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    print.modified = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
    return print;
}

bool openRegularFile(const std::string& path, SdrFile& file) {
    file.close();
    if (path.empty()) return false;
    Handle h(openPath(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    if (!h.valid() || kindOf(h.get()) != PathKind::File) return false;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h.get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) return false;
    h.release();
    std::FILE* stream = _fdopen(fd, "rb");
    if (stream == nullptr) {
        _close(fd);
        return false;
    }
    file.attach(stream, true);
    return true;
}

} // namespace kh
