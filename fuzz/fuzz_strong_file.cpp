// Feeds arbitrary bytes as a strong account file to the whole reader and the partial
// readers. The seeds belong to "alice" / "s3cret!" at the cheapest cost a file may carry;
// inputs asking for more are only parsed, so each run stays short.
#include "strong_format.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

class MemoryFile {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {
        if (!bytes_.empty()) stream_ = fmemopen(bytes_.data(), bytes_.size(), "rb");
    }
    ~MemoryFile() {
        if (stream_) std::fclose(stream_);
    }
    void attachTo(kh::SdrFile& file) {
        if (stream_) {
            std::rewind(stream_);
            file.attach(stream_, false);
        }
    }

  private:
    std::vector<std::uint8_t> bytes_;
    std::FILE* stream_ = nullptr;
};

void require(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kh::StrongHeader header;
    const bool parsed = kh::parseStrongHeader({data, size}, header);
    if (parsed) {
        require(kh::strongParametersAccepted(header.parameters));
        require(header.bytes.size() == kh::kStrongFixedHeader + header.accountDescription.size() +
                                           header.passwordDescription.size());
        require(header.accountDescription.size() <= kh::kMaxAccountText &&
                header.passwordDescription.size() <= kh::kMaxAccountText);
    }
    MemoryFile memory(data, size);
    {
        kh::SdrFile file;
        memory.attachTo(file);
        std::string description;
        const bool read = kh::readAccountDescription(file, description);
        // A file with the strong magic is read by the strong reader only.
        if (size >= kh::kStrongMagic.size() && kh::startsStrong({data, size}))
            require(read == (parsed && size >= header.bytes.size() + 20));
    }
    if (!parsed || header.parameters.memoryKiB > 16384 || header.parameters.iterations > 2 ||
        header.parameters.lanes > 2)
        return 0;
    {
        kh::SdrFile file;
        memory.attachTo(file);
        kh::LoadedAccount loaded;
        const kh::ReadOutcome outcome = kh::readAccountFile(file, "alice", "s3cret!", loaded);
        if (outcome == kh::ReadOutcome::Loaded) {
            require(loaded.account.protection.isStrong());
            require(loaded.account.name == "alice" && loaded.account.password == "s3cret!");
            std::int64_t previous = -1;
            for (const kh::AccountEntry& e : loaded.entries) {
                require(e.fileOffset > previous);
                require(e.title.size() <= kh::kMaxEntryTitle && e.data.size() <= kh::kMaxEntryData);
                previous = e.fileOffset;
            }
        } else {
            require(loaded.entries.empty());
        }
    }
    {
        kh::SdrFile file;
        memory.attachTo(file);
        std::string hint;
        kh::checkAccountCredentials(file, "alice", "s3cret!", hint);
    }
    return 0;
}
