#include "Streamer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folianto {

TFileStream::TFileStream(const std::string& fileName)
{
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(error));
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(EISDIR));
    }
}

TFileStream::~TFileStream()
{
    if (owns_ && fd_ >= 0)
        ::close(fd_);
}

std::int64_t TFileStream::Size() const
{
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        throw EReadError(std::string("Cannot get file size: ") + std::strerror(errno));
    return info.st_size;
}

std::size_t TFileStream::Read(void* buffer, std::size_t count)
{
    if (position_ < 0)
        return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, out + done, count - done, position_ + static_cast<std::int64_t>(done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw EReadError(std::string("Stream read error: ") + std::strerror(errno));
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    position_ += static_cast<std::int64_t>(done);
    return done;
}

void TStreamer::Seek(std::int64_t position)
{
    if (position < 0)
        throw EReadError("Invalid stream position");
    stream_.Seek(position);
}

std::int64_t TStreamer::Remaining() const
{
    const std::int64_t left = stream_.Size() - stream_.Position();
    return left > 0 ? left : 0;
}

void TStreamer::ReadBytes(void* buffer, std::size_t count)
{
    if (stream_.Read(buffer, count) != count)
        throw EEndOfFile();
}

std::uint8_t TStreamer::ReadByte()
{
    std::uint8_t value = 0;
    ReadBytes(&value, 1);
    return value;
}

std::uint32_t TStreamer::ReadUInt32()
{
    std::uint8_t b[4];
    ReadBytes(b, 4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::int32_t TStreamer::ReadInt32()
{
    return static_cast<std::int32_t>(ReadUInt32());
}

std::size_t TStreamer::ReadBlobLength()
{
    const std::int32_t length = ReadInt32();
    if (length < 0)
        throw EReadError("Invalid blob length " + std::to_string(length));
    if (length > Remaining())
        throw EEndOfFile();
    return static_cast<std::size_t>(length);
}

TBlob TStreamer::ReadBlob()
{
    TBlob blob;
    blob.Size = ReadBlobLength();
    if (blob.Size == 0)
        return blob;
    blob.Data = std::make_unique_for_overwrite<std::uint8_t[]>(blob.Size);
    ReadBytes(blob.Data.get(), blob.Size);
    return blob;
}

void TStreamer::ReadBlob(Bytes& destination)
{
    const std::size_t length = ReadBlobLength();
    if (length == 0)
        return;
    const std::size_t start = destination.size();
    destination.resize(start + length);
    try {
        ReadBytes(destination.data() + start, length);
    } catch (...) {
        destination.resize(start);
        throw;
    }
}

std::string TStreamer::ReadString()
{
    const std::int32_t length = ReadInt32();
    if (length <= 0)
        return {};
    if (length > Remaining())
        throw EEndOfFile();
    std::string text(static_cast<std::size_t>(length), '\0');
    ReadBytes(text.data(), text.size());
    return text;
}

}  // namespace folianto
