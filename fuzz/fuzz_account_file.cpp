// Feeds arbitrary bytes as an account file to the whole-account reader and the three
// partial readers. The seed files belong to the account "alice" / "s3cret!", so mutations
// reach the record loop, not only the header checks.
#include "account_file.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// An in-memory stream over a copy of the input, so no file system is involved.
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
    MemoryFile memory(data, size);
    {
        kh::SdrFile file;
        memory.attachTo(file);
        kh::LoadedAccount loaded;
        if (kh::readAccountFile(file, "alice", "s3cret!", loaded) == kh::ReadOutcome::Loaded) {
            // Every whole record after the header is either an entry or counted as dropped,
            // and entries carry their own offsets in file order.
            const std::size_t records =
                size < kh::kHeaderSize ? 0 : (size - kh::kHeaderSize) / kh::kRecordSize;
            require(loaded.entries.size() + std::size_t(loaded.droppedRecords) == records);
            std::int64_t previous = 0;
            for (const kh::AccountEntry& e : loaded.entries) {
                require(e.fileOffset > previous && (e.fileOffset - 1340) % 480 == 0);
                require(e.title.size() <= kh::kMaxEntryTitle && e.data.size() <= kh::kMaxEntryData);
                require(e.description.size() <= kh::kMaxEntryDescription);
                previous = e.fileOffset;
            }
            require(loaded.account.name == "alice" && loaded.account.password == "s3cret!");
        } else {
            require(loaded.entries.empty() && loaded.droppedRecords == 0);
        }
    }
    std::string text;
    {
        kh::SdrFile file;
        memory.attachTo(file);
        if (!kh::readAccountDescription(file, text)) require(text.empty());
        require(text.size() <= kh::kMaxAccountText);
    }
    {
        kh::SdrFile file;
        memory.attachTo(file);
        if (!kh::readPasswordDescription(file, "alice", text)) require(text.empty());
    }
    {
        kh::SdrFile file;
        memory.attachTo(file);
        if (!kh::checkAccountCredentials(file, "alice", "s3cret!", text)) require(text.empty());
    }
    return 0;
}
