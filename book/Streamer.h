#pragma once
// Little-endian primitive reads over the open package file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace folianto {

using Bytes = std::vector<std::uint8_t>;

// A read that the file cannot satisfy, or a length field that makes no sense.
class EReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read that would go past the end of the file. Kept apart from other read errors
// because a loop that skips bad records must still stop at the end of the file.
class EEndOfFile : public EReadError {
public:
    EEndOfFile() : EReadError("Stream read error") {}
};

// The package file could not be opened; the message names the file and the reason.
class EFOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read-only view of a file on disk. Other processes may keep reading and writing it.
class TFileStream {
public:
    explicit TFileStream(const std::string& fileName);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Size() const;
    std::int64_t Position() const { return position_; }
    void Seek(std::int64_t position) { position_ = position; }
    // Reads up to count bytes at the current position; returns how many were read.
    std::size_t Read(void* buffer, std::size_t count);

    // Another stream over the same open file with a position of its own. Reads are
    // positioned (pread), so streams used on different threads never move each other's
    // position. This stream must outlive the one returned.
    TFileStream Share() const { return TFileStream(TShared{}, fd_); }

private:
    struct TShared {};
    TFileStream(TShared, int fd) : fd_(fd), owns_(false) {}

    int fd_ = -1;
    bool owns_ = true;
    std::int64_t position_ = 0;
};

// A blob's bytes, read into memory that was not cleared first.
struct TBlob {
    std::unique_ptr<std::uint8_t[]> Data;
    std::size_t Size = 0;
    std::span<const std::uint8_t> View() const { return {Data.get(), Size}; }
};

class TStreamer {
public:
    explicit TStreamer(TFileStream& stream) : stream_(stream) {}

    std::int64_t Size() const { return stream_.Size(); }
    std::int64_t Position() const { return stream_.Position(); }
    void Seek(std::int64_t position);

    std::uint8_t ReadByte();
    bool ReadBool() { return ReadByte() != 0; }
    void ReadBytes(void* buffer, std::size_t count);
    std::int32_t ReadInt32();
    std::uint32_t ReadUInt32();
    // An int32 of which only the low byte carries meaning.
    std::uint8_t ReadCode32() { return static_cast<std::uint8_t>(ReadInt32() & 0xFF); }
    // Appends the blob's bytes to destination. A length beyond the end of the file fails
    // before anything is allocated, so a forged length cannot exhaust memory.
    void ReadBlob(Bytes& destination);
    // The same, into a buffer of its own: a large entry's stored bytes are not cleared
    // only to be overwritten at once.
    TBlob ReadBlob();
    // A negative length gives the empty string and consumes nothing more.
    std::string ReadString();

private:
    std::int64_t Remaining() const;
    // A blob's length, checked against the file before anything is allocated.
    std::size_t ReadBlobLength();

    TFileStream& stream_;
};

}  // namespace folianto
