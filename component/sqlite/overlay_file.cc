#include "component/sqlite/overlay_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "migprof/com_error.h"

namespace migprof::sqlite {

BaseImage::BaseImage(String path, int descriptor, std::int64_t size)
    : path_(std::move(path)), descriptor_(descriptor), size_(size) {}

std::shared_ptr<const BaseImage> BaseImage::Open(const String& path) {
  // Committed rows still in the -wal file are not in the file: overlays
  // would read an older state without a word.
  struct stat wal {};
  if (::stat((path + "-wal").c_str(), &wal) == 0 && wal.st_size > 0) {
    throw ComError(errc::kProviderFailure,
                   "The base file " + path + " is not whole: its -wal file still holds rows.");
  }
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (descriptor < 0 || ::fstat(descriptor, &info) != 0) {
    const String reason = std::strerror(errno);
    if (descriptor >= 0) ::close(descriptor);
    throw ComError(errc::kProviderFailure, "Cannot read the base file " + path + ": " + reason);
  }
  return std::shared_ptr<const BaseImage>(new BaseImage(path, descriptor, info.st_size));
}

BaseImage::~BaseImage() {
  ::close(descriptor_);
  ::unlink(path_.c_str());
}

long BaseImage::Read(void* buffer, long count, std::int64_t offset) const {
  long done = 0;
  while (done < count) {
    const ssize_t got =
        ::pread(descriptor_, static_cast<char*>(buffer) + done, count - done, offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

namespace {

constexpr char kVfsName[] = "migprof_overlay";
// Pages in memory are of this size whatever the database's page size: a
// write of a larger page fills several, a smaller one part of one.
constexpr std::int64_t kPage = 4096;

// The state of one overlay, shared by every connection open on it.
struct Overlay {
  explicit Overlay(std::shared_ptr<const BaseImage> from)
      : image(std::move(from)), size(image->size()), image_end(size) {}

  std::shared_ptr<const BaseImage> image;
  std::mutex mutex;
  std::int64_t size;
  // Bytes below it that no page in memory holds are the image's; a
  // truncation lowers it, so that the file grown again reads as zeros there.
  std::int64_t image_end;
  std::unordered_map<std::int64_t, std::vector<char>> pages;  // by offset / kPage

  // The bytes [offset, offset + count) where no page in memory holds them:
  // the image's below image_end and the file's size, zeros above.
  bool ReadUnwritten(char* out, std::int64_t count, std::int64_t offset) const {
    const std::int64_t from_image =
        std::clamp<std::int64_t>(std::min(image_end, size) - offset, 0, count);
    if (from_image > 0) {
      const long got = image->Read(out, from_image, offset);
      if (got < 0) return false;
      std::memset(out + got, 0, from_image - got);
    }
    std::memset(out + from_image, 0, count - from_image);
    return true;
  }
};

std::mutex registry_mutex;
// The overlays by the path they were made at and by SQLite's full name of
// it, which is what the VFS is asked to open.
std::unordered_map<String, std::shared_ptr<Overlay>> registry;

sqlite3_vfs* DefaultVfs() {
  static sqlite3_vfs* const vfs = sqlite3_vfs_find(nullptr);
  return vfs;
}

String FullName(const String& path) {
  sqlite3_vfs* vfs = DefaultVfs();
  std::vector<char> name(vfs->mxPathname + 1);
  if (vfs->xFullPathname(vfs, path.c_str(), static_cast<int>(name.size()), name.data()) !=
      SQLITE_OK) {
    return path;
  }
  return name.data();
}

// An open overlay: its shared state, and the file at its path opened by the
// default VFS, which keeps the locks and the shared memory of the -wal file.
struct OverlayFile {
  sqlite3_file base;
  std::shared_ptr<Overlay> overlay;
  sqlite3_file* real;
};

constexpr std::size_t kRealOffset = (sizeof(OverlayFile) + 15) & ~std::size_t{15};

Overlay& StateOf(sqlite3_file* file) { return *reinterpret_cast<OverlayFile*>(file)->overlay; }
sqlite3_file* RealOf(sqlite3_file* file) { return reinterpret_cast<OverlayFile*>(file)->real; }

int Close(sqlite3_file* file) {
  auto* open = reinterpret_cast<OverlayFile*>(file);
  const int rc = open->real->pMethods ? open->real->pMethods->xClose(open->real) : SQLITE_OK;
  open->overlay.~shared_ptr();
  return rc;
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  Overlay& overlay = StateOf(file);
  std::lock_guard<std::mutex> guard(overlay.mutex);
  char* out = static_cast<char*>(buffer);
  const std::int64_t end = offset + amount;
  const std::int64_t readable = std::clamp<std::int64_t>(overlay.size, offset, end);
  for (std::int64_t at = offset; at < readable;) {
    const std::int64_t index = at / kPage;
    const std::int64_t count = std::min(readable, (index + 1) * kPage) - at;
    auto page = overlay.pages.find(index);
    if (page != overlay.pages.end()) {
      std::memcpy(out + (at - offset), page->second.data() + (at - index * kPage), count);
    } else if (!overlay.ReadUnwritten(out + (at - offset), count, at)) {
      return SQLITE_IOERR_READ;
    }
    at += count;
  }
  if (readable == end) return SQLITE_OK;
  std::memset(out + (readable - offset), 0, end - readable);
  return SQLITE_IOERR_SHORT_READ;
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
  Overlay& overlay = StateOf(file);
  std::lock_guard<std::mutex> guard(overlay.mutex);
  const char* in = static_cast<const char*>(buffer);
  const std::int64_t end = offset + amount;
  for (std::int64_t at = offset; at < end;) {
    const std::int64_t index = at / kPage;
    const std::int64_t count = std::min(end, (index + 1) * kPage) - at;
    auto page = overlay.pages.find(index);
    if (page == overlay.pages.end()) {
      std::vector<char> bytes(kPage);
      if (!overlay.ReadUnwritten(bytes.data(), kPage, index * kPage)) return SQLITE_IOERR_WRITE;
      page = overlay.pages.emplace(index, std::move(bytes)).first;
    }
    std::memcpy(page->second.data() + (at - index * kPage), in + (at - offset), count);
    at += count;
  }
  overlay.size = std::max<std::int64_t>(overlay.size, end);
  return SQLITE_OK;
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
  Overlay& overlay = StateOf(file);
  std::lock_guard<std::mutex> guard(overlay.mutex);
  if (size < overlay.size) {
    // What lies past the new end reads as zeros if the file grows again.
    for (auto page = overlay.pages.begin(); page != overlay.pages.end();) {
      const std::int64_t start = page->first * kPage;
      if (start >= size) {
        page = overlay.pages.erase(page);
        continue;
      }
      if (start + kPage > size) {
        std::fill(page->second.begin() + (size - start), page->second.end(), 0);
      }
      ++page;
    }
    overlay.image_end = std::min<std::int64_t>(overlay.image_end, size);
  }
  overlay.size = size;
  return SQLITE_OK;
}

// The pages are in memory: there is nothing to write through.
int Sync(sqlite3_file*, int) { return SQLITE_OK; }

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
  Overlay& overlay = StateOf(file);
  std::lock_guard<std::mutex> guard(overlay.mutex);
  *size = overlay.size;
  return SQLITE_OK;
}

int Lock(sqlite3_file* file, int level) {
  return RealOf(file)->pMethods->xLock(RealOf(file), level);
}

int Unlock(sqlite3_file* file, int level) {
  return RealOf(file)->pMethods->xUnlock(RealOf(file), level);
}

int CheckReservedLock(sqlite3_file* file, int* reserved) {
  return RealOf(file)->pMethods->xCheckReservedLock(RealOf(file), reserved);
}

int FileControl(sqlite3_file* file, int op, void* argument) {
  // Hints on the size would grow the empty file at the path.
  if (op == SQLITE_FCNTL_SIZE_HINT || op == SQLITE_FCNTL_CHUNK_SIZE) return SQLITE_OK;
  return RealOf(file)->pMethods->xFileControl(RealOf(file), op, argument);
}

int SectorSize(sqlite3_file* file) { return RealOf(file)->pMethods->xSectorSize(RealOf(file)); }

int DeviceCharacteristics(sqlite3_file* file) {
  return RealOf(file)->pMethods->xDeviceCharacteristics(RealOf(file));
}

int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** address) {
  return RealOf(file)->pMethods->xShmMap(RealOf(file), region, size, extend, address);
}

int ShmLock(sqlite3_file* file, int offset, int count, int flags) {
  return RealOf(file)->pMethods->xShmLock(RealOf(file), offset, count, flags);
}

void ShmBarrier(sqlite3_file* file) { RealOf(file)->pMethods->xShmBarrier(RealOf(file)); }

int ShmUnmap(sqlite3_file* file, int remove) {
  return RealOf(file)->pMethods->xShmUnmap(RealOf(file), remove);
}

// Version 2: without xFetch, SQLite never maps the file into memory, which
// would map the empty file at the path.
const sqlite3_io_methods kMethods = {2,
                                     Close,
                                     Read,
                                     Write,
                                     Truncate,
                                     Sync,
                                     FileSize,
                                     Lock,
                                     Unlock,
                                     CheckReservedLock,
                                     FileControl,
                                     SectorSize,
                                     DeviceCharacteristics,
                                     ShmMap,
                                     ShmLock,
                                     ShmBarrier,
                                     ShmUnmap,
                                     nullptr,
                                     nullptr};

int OpenFile(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  sqlite3_vfs* vfs = DefaultVfs();
  std::shared_ptr<Overlay> overlay;
  if ((flags & SQLITE_OPEN_MAIN_DB) && name) {
    std::lock_guard<std::mutex> guard(registry_mutex);
    auto found = registry.find(name);
    if (found != registry.end()) overlay = found->second;
  }
  // The -wal and -shm files, journals, and a file that is no overlay (any
  // more) are the default VFS's own.
  if (!overlay) return vfs->xOpen(vfs, name, file, flags, out_flags);
  auto* open = reinterpret_cast<OverlayFile*>(file);
  open->base.pMethods = nullptr;
  open->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kRealOffset);
  open->real->pMethods = nullptr;
  const int rc = vfs->xOpen(vfs, name, open->real, flags, out_flags);
  if (rc != SQLITE_OK) {
    if (open->real->pMethods) open->real->pMethods->xClose(open->real);
    return rc;
  }
  new (&open->overlay) std::shared_ptr<Overlay>(std::move(overlay));
  open->base.pMethods = &kMethods;
  return SQLITE_OK;
}

// The overlays' VFS: the default one with files on overlays opened as such.
sqlite3_vfs* OverlayVfsRegistered() {
  static sqlite3_vfs* const vfs = [] {
    static sqlite3_vfs own = *DefaultVfs();
    own.pNext = nullptr;
    own.zName = kVfsName;
    own.szOsFile = static_cast<int>(kRealOffset) + DefaultVfs()->szOsFile;
    own.xOpen = OpenFile;
    if (sqlite3_vfs_register(&own, 0) != SQLITE_OK) {
      throw ComError(errc::kProviderFailure, "Cannot register the overlay files with SQLite");
    }
    return &own;
  }();
  return vfs;
}

}  // namespace

void MakeOverlay(const String& path, std::shared_ptr<const BaseImage> image) {
  OverlayVfsRegistered();
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor < 0) {
    throw ComError(errc::kProviderFailure,
                   "Cannot make the file " + path + ": " + std::strerror(errno));
  }
  ::close(descriptor);
  auto overlay = std::make_shared<Overlay>(std::move(image));
  std::lock_guard<std::mutex> guard(registry_mutex);
  registry[path] = overlay;
  registry[FullName(path)] = overlay;
}

void DropOverlay(const String& path) {
  const String full = FullName(path);
  std::lock_guard<std::mutex> guard(registry_mutex);
  registry.erase(path);
  registry.erase(full);
}

const char* OverlayVfs(const String& path) {
  std::lock_guard<std::mutex> guard(registry_mutex);
  return registry.count(path) ? kVfsName : nullptr;
}

}  // namespace migprof::sqlite
