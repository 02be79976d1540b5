// Little-endian byte buffers and whole-file reading/writing. Readers never trust
// counts: every read is checked against the bytes left.
#pragma once

#include "base/uKalvexError.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kalvex {

// Bytes ran out, or a value cannot be meant.
class TFormatError : public TKalvexError {
public:
    using TKalvexError::TKalvexError;
};

// A file could not be opened, read or written, or one of the rules of writing files
// refused it; what() in Russian, English() the command line's twin.
class TFileError : public TRefusal {
public:
    using TRefusal::TRefusal;
};

inline constexpr const char* EdgesLoadMessage = "Невозможно загрузить границы из файла";

// A system file that cannot be loaded: the first line is always EdgesLoadMessage; the
// file-naming constructor adds the file and the reason (the English twin keeps the
// Russian first line, which scripts look for).
class TEdgesLoadError : public TRefusal {
public:
    TEdgesLoadError() : TRefusal(EdgesLoadMessage) {}
    TEdgesLoadError(const std::string& FileName, const std::string& Why,
                    const std::string& EnglishWhy)
        : TRefusal(std::string(EdgesLoadMessage) + "\r" + FileName + ": " + Why,
                   std::string(EdgesLoadMessage) + "\r" + FileName + ": " + EnglishWhy) {}
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

// Reads a regular file of at most MaxSize bytes (a device, a pipe or a folder is
// refused, so that nothing is read without bound); TFileError names the file.
std::vector<std::uint8_t> ReadWholeFile(const std::string& FileName,
                                        std::uint64_t MaxSize = MaxReadFileSize);

// Why a file operation failed, in Russian and in English.
struct TFileReason {
    std::string Russian;
    std::string English;
};
TFileReason FileReason(int Err);

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

// ---- the rules of writing files, shared by every front end

// True when the permission bits of an existing FileName (links followed) forbid us to
// write it: the owner's bits when we own it, else the group's for our group, else the
// others'. Judged by the bits alone, so that it holds for the superuser too.
bool IsReadOnlyFile(const std::string& FileName);
// Throws TFileError naming the file when IsReadOnlyFile; nothing is written then.
void RequireWritable(const std::string& FileName);
// A and B are one file (by name, or through another path or a link).
bool IsSameFile(const std::string& A, const std::string& B);

// One file about to be written; Label names it in the English messages (an option
// such as "--csv"; may be empty).
struct TOutputFile {
    std::string Label;
    std::string Name;
};

// A refusal of an output; Usage marks those that are a mistake in how the outputs were
// named (an empty name, two outputs that are one file).
class TOutputRefusal : public TFileError {
public:
    TOutputRefusal(const std::string& Text, const std::string& EnglishText, bool IsUsage)
        : TFileError(Text, EnglishText), Usage(IsUsage) {}
    bool Usage;
};

// Before any work: refuses an output that is one of Inputs, an existing output that is
// not a regular file or is read-only, and two outputs that are one file.
void CheckOutputFiles(const std::vector<TOutputFile>& Outputs,
                      const std::vector<std::string>& Inputs);

// Writes every file or none: all are written beside their targets first, then put in
// place one after another.
void WriteFilesAtomic(
    const std::vector<std::pair<std::string, std::span<const std::uint8_t>>>& Files);

} // namespace kalvex
