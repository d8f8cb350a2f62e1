#include "file_remover.h"

#include "file_system.h"
#include "sdr_file.h"

#include <array>
#include <cstdio>

namespace kh {

namespace {

class StdioRemovalFile final : public RemovalFile {
  public:
    explicit StdioRemovalFile(std::FILE* stream) { file_.attach(stream, true); }

    long long size() override {
        if (!file_.seekEnd()) return -1;
        const long long end = file_.tell();
        if (end < 0 || !file_.seek(0)) return -1;
        return end;
    }

    std::size_t write(const void* bytes, std::size_t length) override {
        const long long done = file_.write(bytes, static_cast<long long>(length), -1);
        return done > 0 ? static_cast<std::size_t>(done) : 0;
    }

    bool flush() override { return file_.flush(); }
    bool commit() override { return nativeFileSystem().commitToDisk(file_); }
    bool close() override { return file_.close(); }

  private:
    SdrFile file_;
};

class StdioRemovalFileOps final : public RemovalFileOps {
  public:
    std::unique_ptr<RemovalFile> openForUpdate(const std::string& path) override {
        // Only plain files: overwriting a device named in the file dialog would be a
        // disaster, and a pipe would block.
        if (path.empty() || nativeFileSystem().pathKind(path) != PathKind::File) return nullptr;
        if (isWriteProtected(path)) return nullptr;
        std::FILE* stream = std::fopen(path.c_str(), "r+b");
        if (stream == nullptr) return nullptr;
        return std::make_unique<StdioRemovalFile>(stream);
    }

    bool truncate(const std::string& path) override {
        std::FILE* stream = std::fopen(path.c_str(), "wb");
        return stream != nullptr && std::fclose(stream) == 0;
    }

    bool remove(const std::string& path) override { return std::remove(path.c_str()) == 0; }
};

} // namespace

RemovalFileOps& nativeRemovalFileOps() {
    static StdioRemovalFileOps ops;
    return ops;
}

RemoveOutcome FileRemover::remove(const std::string& path,
                                  const std::function<void()>& afterBlock) {
    if (busy_) return RemoveOutcome::Busy;
    busy_ = true;
    struct Release {
        bool& busy;
        ~Release() { busy = false; }
    } release{busy_};
    return overwriteAndDelete(path, afterBlock);
}

RemoveOutcome FileRemover::overwriteAndDelete(const std::string& path,
                                              const std::function<void()>& afterBlock) {
    std::unique_ptr<RemovalFile> file = ops_.openForUpdate(path);
    if (!file) return RemoveOutcome::OpenFailed;

    const long long size = file->size();
    if (size <= 0) return RemoveOutcome::Failed;

    static constexpr std::array<unsigned char, kBlockSize> kZeros{};
    long long remaining = size;
    while (remaining > 0) {
        const std::size_t block = remaining < static_cast<long long>(kBlockSize)
                                      ? static_cast<std::size_t>(remaining)
                                      : kBlockSize;
        if (file->write(kZeros.data(), block) != block || !file->flush())
            return RemoveOutcome::Failed;
        if (afterBlock) afterBlock();
        remaining -= static_cast<long long>(block);
    }
    // Without this the zeros may still sit in the system's cache when the truncation
    // below discards them, leaving the old bytes on the disk.
    if (!file->commit()) return RemoveOutcome::Failed;
    if (!file->close()) return RemoveOutcome::Failed;
    file.reset();

    if (!ops_.truncate(path) || !ops_.remove(path)) return RemoveOutcome::Failed;
    return RemoveOutcome::Removed;
}

} // namespace kh
