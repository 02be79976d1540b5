#include "geometry/uBinaryIO.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kalvex {

namespace {

void PutLE(std::vector<std::uint8_t>& Out, std::uint64_t V, int Size) {
    for (int I = 0; I < Size; ++I)
        Out.push_back(static_cast<std::uint8_t>(V >> (8 * I)));
}

constexpr int NotRegular = -1;
constexpr int TooLarge = -2;

TFileError ReadError(const std::string& FileName, int Err, std::uint64_t Limit = 0) {
    TFileReason R = FileReason(Err);
    if (Err == TooLarge) {
        R.Russian = "размер больше " + std::to_string(Limit) + " байт";
        R.English = "larger than " + std::to_string(Limit) + " bytes";
    }
    const std::string Head = "Не удалось прочитать файл " + FileName + ": ";
    return TFileError(Head + R.Russian, Head + R.English);
}

TFileError WriteError(const std::string& FileName, int Err) {
    const TFileReason R = FileReason(Err);
    const std::string Head = "Не удалось записать файл " + FileName + ": ";
    return TFileError(Head + R.Russian + ".\rСтарый файл, если он был, остался прежним.",
                      Head + R.English);
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

TFileReason FileReason(int Err) {
    const std::string En = Err == NotRegular ? "not a regular file" : std::strerror(Err);
    const auto Ru = [&]() -> std::string {
        switch (Err) {
        case NotRegular:
            return "это не обычный файл (устройство или канал)";
        case ENOENT:
            return "файл не найден";
        case EISDIR:
            return "это папка, а не файл";
        case ENOTDIR:
            return "в пути к файлу нет такой папки";
        case EACCES:
        case EPERM:
            return "нет прав доступа";
        case ENOSPC:
            return "нет места на диске";
        case EDQUOT:
            return "превышена дисковая квота";
        case EROFS:
            return "диск доступен только для чтения";
        case ENAMETOOLONG:
            return "слишком длинное имя";
        case ELOOP:
            return "слишком много символических ссылок";
        case EIO:
            return "ошибка ввода-вывода";
        default:
            return "системная ошибка " + std::to_string(Err) + " (" + En + ")";
        }
    };
    return {Ru(), En};
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& FileName, std::uint64_t MaxSize) {
    auto Fail = [&](int Err) -> std::vector<std::uint8_t> {
        throw ReadError(FileName, Err, MaxSize);
    };
    // O_NONBLOCK: opening a pipe must not wait for a writer before it is refused.
    TFd Fd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (Fd.Get() < 0)
        return Fail(errno);
    struct stat St {};
    if (::fstat(Fd.Get(), &St) != 0)
        return Fail(errno);
    if (S_ISDIR(St.st_mode))
        return Fail(EISDIR);
    if (!S_ISREG(St.st_mode))
        return Fail(NotRegular);
    if (static_cast<std::uint64_t>(St.st_size) > MaxSize)
        return Fail(TooLarge);
    std::vector<std::uint8_t> Bytes;
    Bytes.reserve(static_cast<std::size_t>(St.st_size));
    std::uint8_t Buf[65536];
    for (;;) {
        const ssize_t N = ::read(Fd.Get(), Buf, sizeof Buf);
        if (N < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return Fail(errno);
        }
        if (N == 0)
            break;
        // A file that grows while it is read is still held to the limit.
        if (Bytes.size() + static_cast<std::size_t>(N) > MaxSize)
            return Fail(TooLarge);
        Bytes.insert(Bytes.end(), Buf, Buf + N);
    }
    return Bytes;
}

std::string WriteTarget(const std::string& FileName) {
    std::string Path = FileName;
    // As the kernel does, give up after 40 links.
    for (int Depth = 0; Depth < 40; ++Depth) {
        struct stat St {};
        if (::lstat(Path.c_str(), &St) != 0 || !S_ISLNK(St.st_mode))
            return Path;
        std::string Link(static_cast<std::size_t>(St.st_size > 0 ? St.st_size : 4096), '\0');
        const ssize_t N = ::readlink(Path.c_str(), Link.data(), Link.size());
        if (N < 0)
            return Path;
        Link.resize(static_cast<std::size_t>(N));
        if (!Link.empty() && Link.front() == '/') {
            Path = Link;
        } else {
            const std::size_t Slash = Path.rfind('/');
            Path = Slash == std::string::npos ? Link : Path.substr(0, Slash + 1) + Link;
        }
    }
    throw WriteError(FileName, ELOOP);
}

TPendingFile::TPendingFile(const std::string& FileName, std::span<const std::uint8_t> Bytes)
    : Name(FileName), Target(WriteTarget(FileName)) {
    auto Fail = [&](int Err) { throw WriteError(Name, Err); };
    struct stat Old {};
    const bool Exists = ::stat(Target.c_str(), &Old) == 0;
    // A device, a pipe or a folder is never replaced by a regular file.
    if (Exists && !S_ISREG(Old.st_mode))
        Fail(S_ISDIR(Old.st_mode) ? EISDIR : NotRegular);
    if (Exists)
        RequireWritable(Target);
    // Beside the target, so that rename() stays on one file system; a short name, so
    // that a target name of the longest allowed length still leaves room for it.
    const std::size_t Slash = Target.rfind('/');
    const std::string Dir = Slash == std::string::npos ? "" : Target.substr(0, Slash + 1);
    static std::atomic<unsigned> Counter{0};
    int RawFd = -1;
    std::string Temp;
    for (int Attempt = 0; Attempt < 100 && RawFd < 0; ++Attempt) {
        Temp = Dir + ".kx" + std::to_string(::getpid()) + "-" +
               std::to_string(Counter.fetch_add(1)) + ".tmp";
        RawFd = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (RawFd < 0 && errno != EEXIST)
            Fail(errno);
    }
    if (RawFd < 0)
        Fail(EEXIST);
    TFd Fd(RawFd);
    auto FailAndRemove = [&](int Err) {
        ::unlink(Temp.c_str());
        Fail(Err);
    };
    // A replaced file keeps its permissions.
    if (Exists)
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
    TempName = std::move(Temp);
}

TPendingFile::~TPendingFile() {
    if (!TempName.empty())
        ::unlink(TempName.c_str());
}

TPendingFile::TPendingFile(TPendingFile&& Other) noexcept
    : Name(std::move(Other.Name)), Target(std::move(Other.Target)),
      TempName(std::exchange(Other.TempName, std::string())) {}

void TPendingFile::Commit() {
    if (TempName.empty())
        return;
    if (::rename(TempName.c_str(), Target.c_str()) != 0) {
        const int Err = errno;
        ::unlink(TempName.c_str());
        TempName.clear();
        throw WriteError(Name, Err);
    }
    TempName.clear();
}

void WriteFileAtomic(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
    TPendingFile(FileName, Bytes).Commit();
}

// ---------------------------------------------------------------- rules of writing

bool IsReadOnlyFile(const std::string& FileName) {
    struct stat St {};
    if (::stat(FileName.c_str(), &St) != 0 || !S_ISREG(St.st_mode))
        return false;
    const mode_t Bit = St.st_uid == ::geteuid()   ? S_IWUSR
                       : St.st_gid == ::getegid() ? S_IWGRP
                                                  : S_IWOTH;
    return (St.st_mode & Bit) == 0;
}

void RequireWritable(const std::string& FileName) {
    if (IsReadOnlyFile(FileName))
        throw TFileError("Файл " + FileName +
                             " доступен только для чтения.\rОн не перезаписан; сохраните под "
                             "другим именем или разрешите запись в него.",
                         FileName + ": the file is read-only; it is not replaced");
}

bool IsSameFile(const std::string& A, const std::string& B) {
    std::error_code Ec;
    return A == B || std::filesystem::equivalent(A, B, Ec);
}

void CheckOutputFiles(const std::vector<TOutputFile>& Outputs,
                      const std::vector<std::string>& Inputs) {
    for (std::size_t I = 0; I < Outputs.size(); ++I) {
        const TOutputFile& O = Outputs[I];
        const std::string Label = O.Label.empty() ? O.Name : O.Label + " " + O.Name;
        if (O.Name.empty())
            throw TOutputRefusal("Не задано имя файла.", O.Label + ": an empty file name", true);
        for (const std::string& In : Inputs)
            if (IsSameFile(O.Name, In))
                throw TOutputRefusal(
                    "Файл " + O.Name + " нельзя перезаписать: он читается (" + In + ").",
                    Label + ": this is an input of the command (" + In + "); it is not overwritten",
                    false);
        for (std::size_t J = 0; J < I; ++J)
            if (IsSameFile(O.Name, Outputs[J].Name))
                throw TOutputRefusal("Два результата записываются в один файл " + O.Name + ".",
                                     O.Label + " and " + Outputs[J].Label + " name one file", true);
        struct stat St {};
        if (::stat(O.Name.c_str(), &St) == 0 && !S_ISREG(St.st_mode))
            throw TOutputRefusal("Файл " + O.Name + " не перезаписан: это не обычный файл.",
                                 Label + ": exists and is not a regular file; it is not replaced",
                                 false);
        RequireWritable(O.Name);
    }
}

void WriteFilesAtomic(
    const std::vector<std::pair<std::string, std::span<const std::uint8_t>>>& Files) {
    std::vector<TPendingFile> Pending;
    Pending.reserve(Files.size());
    for (const auto& [Name, Bytes] : Files)
        Pending.emplace_back(Name, Bytes);
    for (TPendingFile& P : Pending)
        P.Commit();
}

} // namespace kalvex
