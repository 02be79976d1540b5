// Little-endian byte buffers and whole-file reading/writing. Readers never trust
// counts: every read is checked against the bytes left.
#pragma once

#include "base/uKalvexError.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kalvex {

// Bytes ran out, or a value cannot be meant.
class TFormatError : public TKalvexError {
public:
    using TKalvexError::TKalvexError;
};

// A file could not be opened, read or written.
class TFileError : public TKalvexError {
public:
    using TKalvexError::TKalvexError;
};

class TEdgesLoadError : public TKalvexError {
public:
    TEdgesLoadError() : TKalvexError("Невозможно загрузить границы из файла") {}
};

class TByteWriter {
public:
    void WriteU8(std::uint8_t V) { Bytes.push_back(V); }
    void WriteI32(std::int32_t V);
    void WriteU32(std::uint32_t V);
    void WriteDouble(double V);
    void WriteBytes(const void* Data, std::size_t Size);
    void WriteZeros(std::size_t Size) { Bytes.insert(Bytes.end(), Size, 0); }

    std::vector<std::uint8_t> Bytes;
};

class TByteReader {
public:
    explicit TByteReader(std::span<const std::uint8_t> Bytes) : Data(Bytes) {}

    std::uint8_t ReadU8();
    std::int32_t ReadI32();
    std::uint32_t ReadU32();
    double ReadDouble();
    void ReadBytes(void* Dest, std::size_t Size);
    void Skip(std::size_t Size);
    std::size_t Remaining() const { return Data.size() - Pos; }
    std::size_t Position() const { return Pos; }
    // Throws TFormatError unless Count records of RecordSize bytes can still follow.
    void RequireRecords(std::int64_t Count, std::size_t RecordSize) const;

private:
    void Need(std::size_t Size) const;

    std::span<const std::uint8_t> Data;
    std::size_t Pos = 0;
};

// The largest file ReadWholeFile takes: far above any system, discretisation or task.
inline constexpr std::uint64_t MaxReadFileSize = 512ull << 20;

// Reads a regular file of at most MaxReadFileSize bytes (a device, a pipe or a folder
// is refused, so that nothing is read without bound); TFileError names the file.
std::vector<std::uint8_t> ReadWholeFile(const std::string& FileName);

// The file a write to FileName lands in: symbolic links followed to their target
// (which need not exist yet), so that a save replaces the target, not the link.
std::string WriteTarget(const std::string& FileName);

// A file written beside its target under a short temporary name and put in place by
// Commit (a rename, so the old file stays whole until then). Without Commit the
// temporary file is removed. An existing target that is not a regular file is refused.
class TPendingFile {
public:
    TPendingFile(const std::string& FileName, std::span<const std::uint8_t> Bytes);
    ~TPendingFile();
    TPendingFile(TPendingFile&& Other) noexcept;
    TPendingFile& operator=(TPendingFile&&) = delete;
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;
    void Commit();

private:
    std::string Name;   // as given, for messages
    std::string Target; // links resolved
    std::string TempName;
};

// Writes to a temporary file beside FileName, then renames it over FileName.
void WriteFileAtomic(const std::string& FileName, std::span<const std::uint8_t> Bytes);

} // namespace kalvex
