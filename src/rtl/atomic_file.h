// A file written completely aside and moved into place in one step, so readers never see it
// half-written and a crash leaves no partial file behind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/atomic_file.h"

namespace lyr::rtl {

// Writes a file completely aside and moves it into place: base::AtomicFile (an unnamed or locked
// scratch file beside the target, fsync, rename, fsync of the folder; leftovers of a crash swept)
// with its failures raised as the library's OS errors. Not thread-safe; one owner writes and
// commits.
class AtomicFile final {
 public:
  // The mode a new file gets from open: 0666 less the process's umask.
  static constexpr uint32_t kCreationMode = base::AtomicFile::kCreationMode;

  // Creates the scratch file for path with the permission bits mode (not masked by the umask;
  // kCreationMode: masked, as open does). Raises an OS error when it cannot be created (ENOENT
  // for a missing folder).
  explicit AtomicFile(std::string path, uint32_t mode = 0600);
  // Removes the scratch file unless Commit succeeded. Never throws.
  ~AtomicFile() = default;

  // Appends bytes to the scratch file. Raises an OS error on failure, an assertion error after
  // Commit.
  void Write(std::string_view bytes);
  // Writes bytes at offset of the scratch file (over what is there, or extending it), leaving the
  // position Write appends at alone. Raises as Write does.
  void WriteAt(uint64_t offset, std::string_view bytes);
  // How far Commit makes the new file durable before it returns.
  enum class Durability {
    // The file's data and the rename: once Commit returns, the new file survives a crash of the
    // system (a power loss).
    kRenamed,
    // The file's data only: a crash of the system shortly after Commit may bring back the old
    // file (or none, for a new one), never a partial one; the rename reaches the disk with the
    // file system's next commit. Saves a flush of the folder.
    kData,
  };

  // Flushes the scratch file to disk, moves it over path and (kRenamed) flushes the folder.
  // Raises an OS error on failure (the scratch file is then removed by the destructor and path is
  // left as it was); an assertion error when called twice.
  void Commit(Durability durability = Durability::kRenamed);

  // The target, as the file system names it (UTF-8).
  [[nodiscard]] const std::string& Path() const noexcept { return file_.Path(); }
  // The scratch file's name while it has one (the fallback, or during Commit); "" while it is
  // unnamed.
  [[nodiscard]] const std::string& TempPath() const noexcept { return file_.TempPath(); }
  // True when the scratch file is an unnamed O_TMPFILE.
  [[nodiscard]] bool IsUnnamed() const noexcept { return file_.IsUnnamed(); }

  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

 private:
  base::AtomicFile file_;
};

// One-shot: AtomicFile f(path, mode); f.Write(bytes); f.Commit();
void WriteFileAtomically(const std::string& path, std::string_view bytes, uint32_t mode = 0600);

}  // namespace lyr::rtl
