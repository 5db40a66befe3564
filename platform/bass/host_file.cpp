/* The file layer (slots 10 to 20): one record per open host file, of four
 * kinds — a region of a disk file, a region of a caller's memory block, the
 * caller's own procedures (no-buffering system), or an HTTP(S) byte source
 * borrowed from url_source. Positions count bytes from the region's start; no
 * read ever leaves the region. The handle table is guarded by one lock and
 * every record by its own, so files may be used from any thread. Plug-ins
 * call these through `_`; the stream table closes a stream's bound file. */
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "handle_table.h"
#include "host_internal.h"
#include "url_source.h"

namespace {
enum class FileKind { Disk, Memory, User, Url };

struct HostFileRecord {
  std::mutex lock;
  FileKind kind = FileKind::Disk;
  uint32_t flags = 0;        /* what FileGetFlags answers */
  HostStream stream = 0;     /* the stream that owns the file, or 0 */
  std::string name;          /* path or URL, empty for memory and user files */
  uint64_t start = 0;        /* region start (disk, memory) */
  uint64_t length = 0;       /* region length (disk, memory) */
  uint64_t position = 0;     /* current position (disk, memory, user) */
  int fd = -1;
  const uint8_t *memory = nullptr;
  HostFileProcs procs{};
  void *user = nullptr;
  UrlSource *url = nullptr;
};
using FileRef = std::shared_ptr<HostFileRecord>;

HandleTable<HostFile, FileRef> files;

/* Releases what the record holds; the record itself goes with its last reference. */
void CloseRecord(HostFileRecord &record) {
  std::lock_guard<std::mutex> guard(record.lock);
  if (record.fd >= 0) close(record.fd);
  if (record.kind == FileKind::User && record.procs.close) record.procs.close(record.user);
  UrlSourceClose(record.url);
  record.fd = -1;
  record.url = nullptr;
}

/* Flags FileGetFlags reports: the caller's restrate bit, and bit 0 for a file
 * that cannot seek, which a plug-in needing random access must refuse. */
uint32_t FileFlags(uint32_t openFlags, bool seekable) {
  return (openFlags & HOST_FILE_RESTRATE) | (seekable ? 0u : HOST_FILE_REFUSED);
}

HostFile OpenDisk(const char *path, uint64_t offset, uint64_t length, uint32_t flags) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return HostFail(HOST_ERROR_FILEOPEN, HostFile(0));
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return HostFail(HOST_ERROR_FILEOPEN, HostFile(0));
  }
  uint64_t size = uint64_t(info.st_size);
  if (offset > size) {
    close(fd);
    return HostFail(HOST_ERROR_ILLPARAM, HostFile(0));
  }
  auto record = std::make_shared<HostFileRecord>();
  record->kind = FileKind::Disk;
  record->fd = fd;
  record->name = path;
  record->start = offset;
  record->length = (length == 0 || length > size - offset) ? size - offset : length;
  record->flags = FileFlags(flags, !(flags & BASS_STREAM_BLOCK));
  return HostFail(HOST_OK, files.Add(std::move(record)));
}

HostFile OpenMemory(const void *block, uint64_t offset, uint64_t length, uint32_t flags) {
  if (!block || length == 0) return HostFail(HOST_ERROR_ILLPARAM, HostFile(0));
  auto record = std::make_shared<HostFileRecord>();
  record->kind = FileKind::Memory;
  record->memory = static_cast<const uint8_t *>(block) + offset;
  record->length = length;
  record->flags = FileFlags(flags, !(flags & BASS_STREAM_BLOCK));
  return HostFail(HOST_OK, files.Add(std::move(record)));
}

uint32_t ReadRegion(HostFileRecord &record, void *buffer, uint32_t count) {
  uint64_t left = record.position < record.length ? record.length - record.position : 0;
  uint32_t want = uint32_t(std::min<uint64_t>(count, left));
  if (record.kind == FileKind::Memory) {
    std::memcpy(buffer, record.memory + record.position, want);
    record.position += want;
    return want;
  }
  uint32_t done = 0;
  while (done < want) {
    ssize_t got = pread(record.fd, static_cast<uint8_t *>(buffer) + done, want - done,
                        off_t(record.start + record.position + done));
    if (got <= 0) break;
    done += uint32_t(got);
  }
  record.position += done;
  return done;
}

/* The caller's read may return less than asked; keep asking until it gives
 * nothing more. 0xFFFFFFFF from the caller means a read error. */
uint32_t ReadUser(HostFileRecord &record, void *buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    uint32_t got = record.procs.read(static_cast<uint8_t *>(buffer) + done, count - done,
                                     record.user);
    if (got == 0 || got == 0xFFFFFFFFu) break;
    done += std::min(got, count - done);
  }
  record.position += done;
  return done;
}

uint64_t RecordLength(HostFileRecord &record) {
  switch (record.kind) {
    case FileKind::User: return record.procs.length(record.user);
    case FileKind::Url: return UrlSourceLength(record.url);
    default: return record.length;
  }
}
}  // namespace

HostFile VARDEK_CALL HostFileOpen(HostBool mem, const void *file, uint64_t offset, uint64_t length,
                                  uint32_t flags, uint32_t) {
  if (!file) return HostFail(HOST_ERROR_ILLPARAM, HostFile(0));
  if (mem) return OpenMemory(file, offset, length, flags);
  return OpenDisk(static_cast<const char *>(file), offset, length, flags);
}

HostFile VARDEK_CALL HostFileOpenURL(const char *url, uint32_t offset, uint32_t flags,
                                     HostDownloadProc proc, void *user, uint32_t) {
  if (!url) return HostFail(HOST_ERROR_ILLPARAM, HostFile(0));
  UrlSourceOptions options{HostNetTimeoutMs(), HostNetWindowBytes()};
  int32_t error = HOST_ERROR_NONET;
  UrlSource *source = UrlSourceOpen(url, offset, proc, user, &options, &error);
  if (!source) return HostFail(error, HostFile(0));
  auto record = std::make_shared<HostFileRecord>();
  record->kind = FileKind::Url;
  record->url = source;
  record->name = url;
  bool seekable = UrlSourceLength(source) != UINT64_MAX && !(flags & BASS_STREAM_BLOCK);
  record->flags = FileFlags(flags, seekable);
  return HostFail(HOST_OK, files.Add(std::move(record)));
}

HostFile VARDEK_CALL HostFileOpenUser(uint32_t system, uint32_t flags, const HostFileProcs *procs,
                                      void *user, uint32_t) {
  if (system == HOST_FILE_SYSTEM_BUFFER || system == HOST_FILE_SYSTEM_BUFFERPUSH)
    return HostFail(HOST_ERROR_NOTAVAIL, HostFile(0));
  if (system != HOST_FILE_SYSTEM_NOBUFFER) return HostFail(HOST_ERROR_ILLTYPE, HostFile(0));
  if (!procs || !procs->close || !procs->length || !procs->read || !procs->seek)
    return HostFail(HOST_ERROR_ILLPARAM, HostFile(0));
  auto record = std::make_shared<HostFileRecord>();
  record->kind = FileKind::User;
  record->procs = *procs;
  record->user = user;
  record->flags = FileFlags(flags, !(flags & BASS_STREAM_BLOCK));
  return HostFail(HOST_OK, files.Add(std::move(record)));
}

void VARDEK_CALL HostFileClose(HostFile file) {
  FileRef record = files.Find(file);
  if (!record || record->stream != 0) return; /* a stream's file closes with the stream */
  HostFileCloseOwned(file);
}

void HostFileCloseOwned(HostFile file) {
  if (FileRef record = files.Take(file)) CloseRecord(*record);
}

HostBool VARDEK_CALL HostFileBindStream(HostFile file, HostStream stream) {
  FileRef record = files.Find(file);
  if (!record || !HostStreamBindFile(stream, file)) return 0;
  std::lock_guard<std::mutex> guard(record->lock);
  record->stream = stream;
  return 1;
}

uint32_t VARDEK_CALL HostFileGetFlags(HostFile file) {
  FileRef record = files.Find(file);
  return record ? record->flags : 0;
}

uint32_t VARDEK_CALL HostFileRead(HostFile file, void *buffer, uint32_t count) {
  FileRef record = files.Find(file);
  if (!record || !buffer) return 0;
  std::lock_guard<std::mutex> guard(record->lock);
  switch (record->kind) {
    case FileKind::User: return ReadUser(*record, buffer, count);
    case FileKind::Url: return UrlSourceRead(record->url, buffer, count);
    default: return ReadRegion(*record, buffer, count);
  }
}

HostBool VARDEK_CALL HostFileSeek(HostFile file, uint64_t offset) {
  FileRef record = files.Find(file);
  if (!record) return 0;
  std::lock_guard<std::mutex> guard(record->lock);
  if (record->kind == FileKind::Url) return UrlSourceSeek(record->url, offset) ? 1 : 0;
  if (record->kind == FileKind::User) {
    if (!record->procs.seek(offset, record->user)) return 0;
  } else if (offset > record->length) {
    return 0;
  }
  record->position = offset;
  return 1;
}

uint64_t VARDEK_CALL HostFilePosition(HostFile file, uint32_t mode) {
  FileRef record = files.Find(file);
  if (!record) return UINT64_MAX;
  std::lock_guard<std::mutex> guard(record->lock);
  bool url = record->kind == FileKind::Url;
  switch (mode) {
    case HOST_FILEPOS_CURRENT: return url ? UrlSourcePosition(record->url) : record->position;
    case HOST_FILEPOS_DOWNLOAD: return url ? UrlSourceDownloaded(record->url) : RecordLength(*record);
    case HOST_FILEPOS_END: return RecordLength(*record);
    default: return UINT64_MAX;
  }
}

const char *HostFileName(HostFile file) {
  FileRef record = files.Find(file);
  /* The record, and so the string, lives as long as the file; the stream
   * that asks holds the file open. */
  return record && !record->name.empty() ? record->name.c_str() : nullptr;
}

uint32_t HostFileCount() {
  return files.Size();
}

extern "C" uint32_t VARDEK_CALL BASS_GetOpenFileCount(void) { return HostFileCount(); }
