// SdrFile: the small file object through which the account file routines open, read,
// write and position files. Sizes and positions are 64-bit; failures are negative codes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kh {

class SdrFile {
  public:
    // Results of the transfer operations.
    static constexpr long long kNoStream = -1;
    static constexpr long long kBadArguments = -2;
    static constexpr long long kBadPosition = -3;
    static constexpr long long kNoRecordPosition = -4;

    SdrFile() = default;
    SdrFile(const SdrFile&) = delete;
    SdrFile& operator=(const SdrFile&) = delete;
    virtual ~SdrFile();

    // Closes any owned stream, then opens the path "rb" (read only) or "wb+" (create or
    // truncate). An empty path opens nothing. True when a stream is open.
    virtual bool open(const std::string& path, bool readOnly);
    virtual bool isOpen() const;
    // Byte transfers at `position` (negative: the current position). The number of
    // bytes moved, or kNoStream, kBadArguments (no buffer, length not positive) or
    // kBadPosition.
    virtual long long read(void* buffer, long long length, long long position);
    virtual long long write(const void* buffer, long long length, long long position);
    virtual long long tell() const;
    // Absolute seek; a negative position goes to the end.
    virtual bool seek(long long position);
    virtual bool seekEnd();
    // Relative seek; offset 0 only tests that a stream is open.
    virtual bool skip(long long offset);
    // Transfers in units of the record size; a negative index is the current record,
    // after aligning the position down to a record boundary.
    virtual long long readRecords(void* buffer, long long count, long long index);
    virtual long long writeRecords(const void* buffer, long long count, long long index);
    virtual long long recordIndex() const;
    virtual bool seekRecord(long long index);
    virtual bool skipRecords(long long count);

    // Takes over an already open stream; `owned` streams are closed by this object.
    void attach(std::FILE* stream, bool owned);
    // Flushes the stream's buffer to the operating system.
    virtual bool flush();
    // Closes an owned stream (or forgets a borrowed one); false when closing reported an
    // error, which for a written file means its last bytes may not have reached it.
    virtual bool close();
    std::FILE* stream() const { return stream_; }
    // Hands the stream over to the caller without closing it.
    std::FILE* release() {
        std::FILE* stream = stream_;
        stream_ = nullptr;
        owned_ = false;
        return stream;
    }

    void setRecordSize(long long size) { recordSize_ = size > 0 ? size : 1; }
    long long recordSize() const { return recordSize_; }
    // After a short transfer, return to the position where the call started.
    void setRestorePosition(bool on) { restorePosition_ = on; }
    // Flush after every write; a failed flush makes the write report -1.
    void setFlushAfterWrite(bool on) { flushAfterWrite_ = on; }

  private:
    // Not virtual: also used by the destructor, open and attach.
    bool closeStream();
    template <class Transfer>
    long long transfer(long long length, long long position, Transfer&& move);
    template <class Transfer>
    long long transferRecords(long long count, long long index, Transfer&& move);

    std::FILE* stream_ = nullptr;
    bool owned_ = false;
    long long recordSize_ = 1;
    bool restorePosition_ = false;
    bool flushAfterWrite_ = false;
};

} // namespace kh
