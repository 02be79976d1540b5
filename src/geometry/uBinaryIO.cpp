#include "geometry/uBinaryIO.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex {

namespace {

void PutLE(std::vector<std::uint8_t>& Out, std::uint64_t V, int Size) {
    for (int I = 0; I < Size; ++I)
        Out.push_back(static_cast<std::uint8_t>(V >> (8 * I)));
}

std::string Reason(int Err) {
    return std::strerror(Err);
}

// Closes a descriptor on every path out.
class TFd {
public:
    explicit TFd(int Handle) : Fd(Handle) {}
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return Fd; }
    // Returns the error of close(), 0 on success.
    int Close() {
        const int R = ::close(Fd);
        Fd = -1;
        return R == 0 ? 0 : errno;
    }

private:
    int Fd;
};

} // namespace

void TByteWriter::WriteI32(std::int32_t V) {
    WriteU32(static_cast<std::uint32_t>(V));
}

void TByteWriter::WriteU32(std::uint32_t V) {
    PutLE(Bytes, V, 4);
}

void TByteWriter::WriteDouble(double V) {
    PutLE(Bytes, std::bit_cast<std::uint64_t>(V), 8);
}

void TByteWriter::WriteBytes(const void* Data, std::size_t Size) {
    const auto* P = static_cast<const std::uint8_t*>(Data);
    Bytes.insert(Bytes.end(), P, P + Size);
}

void TByteReader::Need(std::size_t Size) const {
    if (Size > Remaining())
        throw TFormatError("Неожиданный конец данных");
}

std::uint8_t TByteReader::ReadU8() {
    Need(1);
    return Data[Pos++];
}

std::uint32_t TByteReader::ReadU32() {
    Need(4);
    std::uint32_t V = 0;
    for (int I = 0; I < 4; ++I)
        V |= static_cast<std::uint32_t>(Data[Pos + static_cast<std::size_t>(I)]) << (8 * I);
    Pos += 4;
    return V;
}

std::int32_t TByteReader::ReadI32() {
    return static_cast<std::int32_t>(ReadU32());
}

double TByteReader::ReadDouble() {
    Need(8);
    std::uint64_t V = 0;
    for (int I = 0; I < 8; ++I)
        V |= static_cast<std::uint64_t>(Data[Pos + static_cast<std::size_t>(I)]) << (8 * I);
    Pos += 8;
    return std::bit_cast<double>(V);
}

void TByteReader::ReadBytes(void* Dest, std::size_t Size) {
    Need(Size);
    if (Size > 0)
        std::memcpy(Dest, Data.data() + Pos, Size);
    Pos += Size;
}

void TByteReader::Skip(std::size_t Size) {
    Need(Size);
    Pos += Size;
}

void TByteReader::RequireRecords(std::int64_t Count, std::size_t RecordSize) const {
    if (Count < 0)
        throw TFormatError("Отрицательное число записей");
    if (RecordSize == 0)
        return;
    if (static_cast<std::uint64_t>(Count) > Remaining() / RecordSize)
        throw TFormatError("Неожиданный конец данных");
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& FileName) {
    auto Fail = [&](int Err) -> std::vector<std::uint8_t> {
        throw TFileError("Не удалось прочитать файл " + FileName + ": " + Reason(Err));
    };
    TFd Fd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (Fd.Get() < 0)
        return Fail(errno);
    struct stat St {};
    if (::fstat(Fd.Get(), &St) != 0)
        return Fail(errno);
    if (S_ISDIR(St.st_mode))
        return Fail(EISDIR);
    std::vector<std::uint8_t> Bytes;
    if (S_ISREG(St.st_mode) && St.st_size > 0)
        Bytes.reserve(static_cast<std::size_t>(St.st_size));
    std::uint8_t Buf[65536];
    for (;;) {
        const ssize_t N = ::read(Fd.Get(), Buf, sizeof Buf);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        if (N == 0)
            break;
        Bytes.insert(Bytes.end(), Buf, Buf + N);
    }
    return Bytes;
}

void WriteFileAtomic(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
    auto Fail = [&](int Err) {
        throw TFileError("Не удалось записать файл " + FileName + ": " + Reason(Err));
    };
    // The temporary file lives beside the target so that rename() stays on one file system.
    static std::atomic<unsigned> Counter{0};
    std::string TempName;
    int RawFd = -1;
    for (int Attempt = 0; Attempt < 100 && RawFd < 0; ++Attempt) {
        TempName = FileName + ".tmp" + std::to_string(::getpid()) + "-" +
                   std::to_string(Counter.fetch_add(1));
        RawFd = ::open(TempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (RawFd < 0 && errno != EEXIST)
            Fail(errno);
    }
    if (RawFd < 0)
        Fail(EEXIST);
    TFd Fd(RawFd);
    auto FailAndRemove = [&](int Err) {
        ::unlink(TempName.c_str());
        Fail(Err);
    };
    // A replaced file keeps its permissions.
    struct stat Old {};
    if (::stat(FileName.c_str(), &Old) == 0 && S_ISREG(Old.st_mode))
        ::fchmod(Fd.Get(), Old.st_mode & 07777);
    std::size_t Done = 0;
    while (Done < Bytes.size()) {
        const ssize_t N = ::write(Fd.Get(), Bytes.data() + Done, Bytes.size() - Done);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            FailAndRemove(errno);
        }
        Done += static_cast<std::size_t>(N);
    }
    if (::fsync(Fd.Get()) != 0)
        FailAndRemove(errno);
    if (const int Err = Fd.Close(); Err != 0)
        FailAndRemove(Err);
    if (::rename(TempName.c_str(), FileName.c_str()) != 0)
        FailAndRemove(errno);
}

} // namespace kalvex
