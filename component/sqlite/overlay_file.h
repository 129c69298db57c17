// A database file made of the pages of a base file that no one writes any
// more and of the pages written since, kept in memory. A preview works on
// its own database of every whole table; copying a base of tens of megabytes
// for each preview cost more than the preview itself, while an overlay is
// made in no time and holds only the few pages the preview writes.
#ifndef MIGPROF_COMPONENT_SQLITE_OVERLAY_FILE_H_
#define MIGPROF_COMPONENT_SQLITE_OVERLAY_FILE_H_

#include <cstdint>
#include <memory>

#include "migprof/automation.h"

namespace migprof::sqlite {

// A database file that does not change any more, read by the overlays made
// on it. The file is removed when the image and every overlay made on it
// are gone, so a newer image can take its place while previews still read
// the older one.
class BaseImage {
 public:
  // Opens the database file at path for reading. It must hold its whole
  // database and must not be written from now on. Raises ComError
  // (errc::kProviderFailure) when it cannot be opened or a -wal file beside
  // it still holds rows.
  static std::shared_ptr<const BaseImage> Open(const String& path);
  ~BaseImage();
  BaseImage(const BaseImage&) = delete;
  BaseImage& operator=(const BaseImage&) = delete;

  const String& path() const { return path_; }
  std::int64_t size() const { return size_; }
  // Reads up to count bytes at offset; returns how many were read, -1 on an
  // error.
  long Read(void* buffer, long count, std::int64_t offset) const;

 private:
  BaseImage(String path, int descriptor, std::int64_t size);
  String path_;
  int descriptor_;
  std::int64_t size_;
};

// Makes path a database whose first state is image's, without copying it.
// An empty file is created at path: it carries the file locks and names the
// -wal and -shm files beside it. Every connection opened on path from now
// on, by a session or a plain handle, reads a page from the image until the
// page is written, and from memory afterwards; the image is never written.
// Raises ComError (errc::kProviderFailure) when path exists or cannot be
// created.
void MakeOverlay(const String& path, std::shared_ptr<const BaseImage> image);

// Ends the overlay at path: no connection opened afterwards uses it, and its
// pages and its hold on the image go with the last connection still open on
// it. The caller closes the idle sessions on path first and removes the
// file afterwards.
void DropOverlay(const String& path);

// The name of the VFS a connection to path is to be opened with: the
// overlays' while path is an overlay, otherwise nullptr (SQLite's default).
const char* OverlayVfs(const String& path);

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_OVERLAY_FILE_H_
