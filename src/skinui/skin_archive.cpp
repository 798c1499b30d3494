// The 7z archive table on the LZMA SDK decoder.
#include "skinui/skin_archive.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "7z.h"
#include "7zCrc.h"
#include "7zFile.h"

namespace SkinUI {

namespace {

void* SdkAlloc(ISzAllocPtr, size_t size) { return size == 0 ? nullptr : std::malloc(size); }
void SdkFree(ISzAllocPtr, void* address) { std::free(address); }
const ISzAlloc kAllocator = {SdkAlloc, SdkFree};

void EnsureCrcTable() {
  static std::once_flag once;
  std::call_once(once, [] { CrcGenerateTable(); });
}

// A seekable stream over bytes held in memory.
struct MemoryInStream {
  ISeekInStream vt;
  const uint8_t* data;
  size_t length;
  size_t position;
};

SRes MemoryRead(ISeekInStreamPtr p, void* buffer, size_t* size) {
  auto* self = reinterpret_cast<MemoryInStream*>(const_cast<ISeekInStream*>(p));
  const size_t left = self->position < self->length ? self->length - self->position : 0;
  const size_t count = *size < left ? *size : left;
  if (count > 0) std::memcpy(buffer, self->data + self->position, count);
  self->position += count;
  *size = count;
  return SZ_OK;
}

SRes MemorySeek(ISeekInStreamPtr p, Int64* position, ESzSeek origin) {
  auto* self = reinterpret_cast<MemoryInStream*>(const_cast<ISeekInStream*>(p));
  Int64 base = 0;
  switch (origin) {
    case SZ_SEEK_SET: base = 0; break;
    case SZ_SEEK_CUR: base = static_cast<Int64>(self->position); break;
    case SZ_SEEK_END: base = static_cast<Int64>(self->length); break;
    default: return SZ_ERROR_PARAM;
  }
  const Int64 target = base + *position;
  if (target < 0) return SZ_ERROR_PARAM;
  self->position = static_cast<size_t>(target);
  *position = target;
  return SZ_OK;
}

// The SDK's archive structure, freed with the allocator it was built with.
class ArchiveDb {
 public:
  ArchiveDb() { SzArEx_Init(&db_); }
  ~ArchiveDb() { SzArEx_Free(&db_, &kAllocator); }
  ArchiveDb(const ArchiveDb&) = delete;
  ArchiveDb& operator=(const ArchiveDb&) = delete;
  CSzArEx* get() { return &db_; }

 private:
  CSzArEx db_;
};

// The solid-block cache shared by the extractions of one open.
struct BlockCache {
  UInt32 blockIndex = 0xFFFFFFFF;
  Byte* buffer = nullptr;  // owned; allocated by the SDK with kAllocator
  size_t size = 0;
  ~BlockCache() { SdkFree(&kAllocator, buffer); }
};

SkinArchive* BuildTable(ISeekInStreamPtr stream) {
  EnsureCrcTable();
  constexpr size_t kLookBufferSize = 1 << 14;
  std::unique_ptr<Byte[]> lookBuffer(new Byte[kLookBufferSize]);
  CLookToRead2 look;
  LookToRead2_CreateVTable(&look, False);
  look.buf = lookBuffer.get();
  look.bufSize = kLookBufferSize;
  look.realStream = stream;
  LookToRead2_INIT(&look);

  ArchiveDb db;
  if (SzArEx_Open(db.get(), &look.vt, &kAllocator, &kAllocator) != SZ_OK) return nullptr;

  auto table = std::make_unique<SkinArchive>();
  BlockCache cache;
  const CSzArEx* p = db.get();
  std::vector<UInt16> name;
  for (UInt32 i = 0; i < p->NumFiles; ++i) {
    if (SzArEx_IsDir(p, i)) continue;
    const size_t nameLength = SzArEx_GetFileNameUtf16(p, i, nullptr);
    name.assign(nameLength == 0 ? 1 : nameLength, 0);
    if (nameLength > 0) SzArEx_GetFileNameUtf16(p, i, name.data());

    size_t offset = 0;
    size_t processed = 0;
    if (SzArEx_Extract(p, &look.vt, i, &cache.blockIndex, &cache.buffer, &cache.size, &offset, &processed,
                       &kAllocator, &kAllocator) != SZ_OK) {
      break;  // the entries read so far stay usable
    }
    SkinArchiveEntry entry;
    entry.name.assign(reinterpret_cast<const wchar_t*>(name.data()));
    entry.nameLength = static_cast<uint32_t>(entry.name.size() + 1);
    entry.index = i;
    if (processed > 0) entry.data.assign(cache.buffer + offset, cache.buffer + offset + processed);
    entry.size = processed;
    table->entries.push_back(std::move(entry));
  }
  return table.release();
}

}  // namespace

SkinArchive* OpenArchiveFile(const std::wstring& path) {
  // Opened by its wide path, so folders outside the ANSI code page work.
  CFileInStream stream;
  FileInStream_CreateVTable(&stream);
  File_Construct(&stream.file);
  if (InFile_OpenW(&stream.file, path.c_str()) != 0) return nullptr;
  struct Closer {
    CSzFile* file;
    ~Closer() { File_Close(file); }
  } closer{&stream.file};
  return BuildTable(&stream.vt);
}

SkinArchive* OpenArchiveMemory(const void* bytes, size_t length) {
  if (bytes == nullptr || length == 0) return nullptr;
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
  MemoryInStream stream;
  stream.vt.Read = MemoryRead;
  stream.vt.Seek = MemorySeek;
  stream.data = copy.data();
  stream.length = copy.size();
  stream.position = 0;
  return BuildTable(&stream.vt);
}

int FindArchiveEntry(const SkinArchive* archive, const wchar_t* name, uint32_t* index, uint64_t* size) {
  if (archive == nullptr || name == nullptr) return kArchiveBadArgument;
  std::wstring wanted(name);
  for (wchar_t& ch : wanted) {
    if (ch == L'\\') ch = L'/';
  }
  const size_t length = wanted.size();
  for (const SkinArchiveEntry& entry : archive->entries) {
    if (entry.nameLength != length + 1) continue;
    if (length == 0 ||
        ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, entry.name.c_str(), static_cast<int>(length),
                         wanted.c_str(), static_cast<int>(length)) == CSTR_EQUAL) {
      if (index != nullptr) *index = entry.index;
      if (size != nullptr) *size = entry.size;
      return kArchiveOk;
    }
  }
  return kArchiveNotFound;
}

int ExtractArchiveEntry(const SkinArchive* archive, uint32_t index, void* buffer, size_t bufferSize) {
  if (archive == nullptr) return kArchiveBadArgument;
  for (const SkinArchiveEntry& entry : archive->entries) {
    if (entry.index != index) continue;
    if (entry.data.size() > bufferSize || (buffer == nullptr && !entry.data.empty())) return kArchiveBufferTooSmall;
    if (!entry.data.empty()) std::memcpy(buffer, entry.data.data(), entry.data.size());
    return kArchiveOk;
  }
  return kArchiveNotFound;
}

void CloseArchive(SkinArchive* archive) { delete archive; }

}  // namespace SkinUI
