#include "sdr_file.h"

#include <sys/types.h>

namespace kh {

namespace {

long long streamTell(std::FILE* f) {
    return static_cast<long long>(ftello(f));
}

bool streamSeek(std::FILE* f, long long position, int whence) {
    return fseeko(f, static_cast<off_t>(position), whence) == 0;
}

} // namespace

SdrFile::~SdrFile() {
    closeStream();
}

bool SdrFile::open(const std::string& path, bool readOnly) {
    closeStream();
    if (path.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), readOnly ? "rb" : "wb+");
    if (f == nullptr) return false;
    attach(f, true);
    return true;
}

bool SdrFile::isOpen() const {
    return stream_ != nullptr;
}

void SdrFile::attach(std::FILE* stream, bool owned) {
    closeStream();
    stream_ = stream;
    owned_ = owned && stream != nullptr;
}

bool SdrFile::flush() {
    return stream_ != nullptr && std::fflush(stream_) == 0;
}

bool SdrFile::close() {
    return closeStream();
}

bool SdrFile::closeStream() {
    bool ok = true;
    if (stream_ != nullptr && owned_) ok = std::fclose(stream_) == 0;
    stream_ = nullptr;
    owned_ = false;
    return ok;
}

template <class Transfer>
long long SdrFile::transfer(long long length, long long position, Transfer&& move) {
    if (stream_ == nullptr) return kNoStream;
    if (length <= 0) return kBadArguments;
    const long long start = position < 0 ? streamTell(stream_) : position;
    if (start < 0) return kBadPosition;
    // Also needed when the position is current: C streams require a seek between a read
    // and a following write on the same stream.
    if (!streamSeek(stream_, start, SEEK_SET)) return kBadPosition;
    const long long done = static_cast<long long>(move(static_cast<std::size_t>(length)));
    if (done < length && restorePosition_) streamSeek(stream_, start, SEEK_SET);
    return done;
}

long long SdrFile::read(void* buffer, long long length, long long position) {
    if (stream_ != nullptr && buffer == nullptr) return kBadArguments;
    return transfer(length, position,
                    [&](std::size_t n) { return std::fread(buffer, 1, n, stream_); });
}

long long SdrFile::write(const void* buffer, long long length, long long position) {
    if (stream_ != nullptr && buffer == nullptr) return kBadArguments;
    const long long done = transfer(
        length, position, [&](std::size_t n) { return std::fwrite(buffer, 1, n, stream_); });
    if (done >= 0 && flushAfterWrite_ && std::fflush(stream_) != 0) return kNoStream;
    return done;
}

long long SdrFile::tell() const {
    return stream_ == nullptr ? kNoStream : streamTell(stream_);
}

bool SdrFile::seek(long long position) {
    if (stream_ == nullptr) return false;
    return position < 0 ? streamSeek(stream_, 0, SEEK_END)
                        : streamSeek(stream_, position, SEEK_SET);
}

bool SdrFile::seekEnd() {
    return stream_ != nullptr && streamSeek(stream_, 0, SEEK_END);
}

bool SdrFile::skip(long long offset) {
    if (stream_ == nullptr) return false;
    return offset == 0 || streamSeek(stream_, offset, SEEK_CUR);
}

template <class Transfer>
long long SdrFile::transferRecords(long long count, long long index, Transfer&& move) {
    if (stream_ == nullptr) return kNoStream;
    if (recordSize_ == 1) return move(count, index);
    long long position;
    if (index < 0) {
        const long long current = streamTell(stream_);
        if (current < 0) return kNoRecordPosition;
        position = current - current % recordSize_;
    } else {
        position = index * recordSize_;
    }
    const long long bytes = move(count * recordSize_, position);
    return bytes < 0 ? bytes : bytes / recordSize_;
}

long long SdrFile::readRecords(void* buffer, long long count, long long index) {
    return transferRecords(count, index, [&](long long length, long long position) {
        return read(buffer, length, position);
    });
}

long long SdrFile::writeRecords(const void* buffer, long long count, long long index) {
    return transferRecords(count, index, [&](long long length, long long position) {
        return write(buffer, length, position);
    });
}

long long SdrFile::recordIndex() const {
    const long long position = tell();
    return position < 0 ? position : position / recordSize_;
}

bool SdrFile::seekRecord(long long index) {
    return seek(index * recordSize_);
}

bool SdrFile::skipRecords(long long count) {
    return skip(count * recordSize_);
}

} // namespace kh
