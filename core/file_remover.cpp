#include "file_remover.h"

#include <array>

namespace kh {

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
    if (!file->truncate() || !file->remove()) return RemoveOutcome::Failed;
    if (!file->close()) return RemoveOutcome::Failed;
    return RemoveOutcome::Removed;
}

} // namespace kh
