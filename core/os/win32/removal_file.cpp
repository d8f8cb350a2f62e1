#include "file_remover.h"
#include "wide_path.h"

namespace kh {
namespace {

class Win32RemovalFile final : public RemovalFile {
  public:
    explicit Win32RemovalFile(HANDLE h) : h_(h) {}
    ~Win32RemovalFile() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }

    long long size() override {
        LARGE_INTEGER end{};
        const LARGE_INTEGER start{};
        if (!GetFileSizeEx(h_, &end) || !SetFilePointerEx(h_, start, nullptr, FILE_BEGIN))
            return -1;
        return end.QuadPart;
    }

    std::size_t write(const void* bytes, std::size_t length) override {
        DWORD written = 0;
        if (!WriteFile(h_, bytes, static_cast<DWORD>(length), &written, nullptr)) return 0;
        return written;
    }

    bool flush() override { return true; } // nothing is buffered in this process
    bool commit() override { return FlushFileBuffers(h_) != 0; }

    bool truncate() override {
        const LARGE_INTEGER start{};
        return SetFilePointerEx(h_, start, nullptr, FILE_BEGIN) && SetEndOfFile(h_);
    }

    bool remove() override {
        // A second handle to this very file (not to its name) with the right to delete,
        // taken only now so that readers could look on until here.
        HANDLE deleter =
            ReOpenFile(h_, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
        if (deleter == INVALID_HANDLE_VALUE) return false;
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        const bool marked = SetFileInformationByHandle(deleter, FileDispositionInfo, &disposition,
                                                       sizeof disposition) != 0;
        CloseHandle(deleter);
        return marked;
    }

    bool close() override {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

  private:
    HANDLE h_;
};

class Win32RemovalFileOps final : public RemovalFileOps {
  public:
    std::unique_ptr<RemovalFile> openForUpdate(const std::string& path) override {
        if (path.empty()) return nullptr;
        // The link itself is opened, and refused below: never the file it leads to. Other
        // readers may look on and nobody else may write. The name may be moved meanwhile,
        // which does no harm: everything here goes through this handle.
        const std::wstring wide = win32::widePath(path);
        if (wide.empty()) return nullptr;
        HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        BY_HANDLE_FILE_INFORMATION info{};
        constexpr DWORD kRefused =
            FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
        // The type of the opened handle: devices and pipes report attributes like a file.
        if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
            (info.dwFileAttributes & kRefused) != 0) {
            CloseHandle(h);
            return nullptr;
        }
        return std::make_unique<Win32RemovalFile>(h);
    }
};

} // namespace

RemovalFileOps& nativeRemovalFileOps() {
    static Win32RemovalFileOps ops;
    return ops;
}

// Windows already refuses to open such a file for writing; asking first keeps the rule
// where the attribute is only emulated and not enforced for every user.
bool isWriteProtected(const std::string& path) {
    const std::wstring wide = win32::widePath(path);
    const DWORD attributes =
        wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

} // namespace kh
