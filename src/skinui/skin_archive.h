// Skin archive: the in-memory table of an opened 7z skin archive (decoded by
// the LZMA SDK), the lookups on it, and the skin-file lookup that the markup
// and image loaders share (plain files under the resource path, or the
// archive installed in the window manager's resource settings).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace SkinUI {

// One file entry of the archive, fully decompressed.
struct SkinArchiveEntry {
  std::wstring name;        // as stored, "/" between folders
  uint32_t nameLength = 0;  // UTF-16 units including the terminating NUL
  uint32_t index = 0;       // position in the archive's file list
  std::vector<uint8_t> data;
  uint64_t size = 0;
};

// The table of one opened archive, in the archive's entry order (directory
// entries are not listed).
class SkinArchive {
 public:
  std::vector<SkinArchiveEntry> entries;
};

// Status values of the lookups: 0 is success.
constexpr int kArchiveOk = 0;
constexpr int kArchiveBadArgument = 1;
constexpr int kArchiveNotFound = 2;
constexpr int kArchiveBufferTooSmall = 3;

// Opens a 7z archive file and decompresses every entry into a new table.
// Null when the file cannot be opened or is not a 7z archive. When an entry
// cannot be decompressed the table ends before it.
SkinArchive* OpenArchiveFile(const std::wstring& path);
// The same from bytes in memory (a private copy is read and let go again).
SkinArchive* OpenArchiveMemory(const void* bytes, size_t length);
// Finds a name ("\" counts as "/", letter case ignored, lengths equal).
int FindArchiveEntry(const SkinArchive* archive, const wchar_t* name, uint32_t* index, uint64_t* size);
// Copies the whole entry with that index into `buffer`, which must hold at
// least the entry's size (`bufferSize`).
int ExtractArchiveEntry(const SkinArchive* archive, uint32_t index, void* buffer, size_t bufferSize);
// Frees the table and every entry buffer; null is allowed.
void CloseArchive(SkinArchive* archive);

struct ArchiveCloser {
  void operator()(SkinArchive* archive) const { CloseArchive(archive); }
};
using ScopedArchive = std::unique_ptr<SkinArchive, ArchiveCloser>;

// Outcome of reading a skin file; each failure has the message the markup
// loader reports (SkinFileMessage).
enum class SkinFileResult {
  Ok,
  ErrorOpeningFile,    // "Error opening file"
  CouldNotReadFile,    // "Could not read file"
  ErrorOpeningArchive, // "Error opening zip file"
  NotInArchive,        // "Could not find ziped file"
  Empty,               // "File is empty"
  TooLarge,            // "File too large"
  CouldNotExtract,     // "Could not unzip file"
};
const wchar_t* SkinFileMessage(SkinFileResult result);

// The largest markup file the loader accepts (4 MiB; exactly 4 MiB is fine).
constexpr uint64_t kMarkupSizeLimit = 4194304;

// Reads a skin file by its relative name: with no archive installed the plain
// file under the resource path, else the entry of the cached archive (or of
// the archive file opened for this one lookup). Files above `limit` bytes
// are refused.
SkinFileResult ReadSkinFile(const std::wstring& name, uint64_t limit, std::vector<uint8_t>* bytes);

// The bytes of an image: from a Win32 resource of `resourceType` when one is
// given (a name starting with a digit is a numeric resource id), else through
// ReadSkinFile without a size limit; when that gives nothing, the name read
// as a file path. False when every source fails. "*COLOR*" needs no bytes
// and is not handled here.
bool ReadImageBytes(const std::wstring& name, const std::wstring& resourceType, std::vector<uint8_t>* bytes);

// Reads a whole file by its wide path: ErrorOpeningFile, Empty, TooLarge
// (above `limit` bytes), CouldNotReadFile (fewer bytes than its size) or Ok.
SkinFileResult ReadWholeFile(const std::wstring& path, uint64_t limit, std::vector<uint8_t>* bytes);

}  // namespace SkinUI
