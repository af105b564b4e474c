// The atomic replace of a file: written completely aside and moved into place in one step, so
// readers never see it half-written and a crash leaves no partial file behind. Failures are
// errno values; rtl::AtomicFile raises them as the library's errors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::base {

// The scratch file is an unnamed file (O_TMPFILE) in the target's folder: until Commit nothing of
// it is visible, and a process killed in any way (kill -9 included) leaves nothing behind. Commit
// links it in under a hidden scratch name and renames that over the target. Where the file system
// has no unnamed files the scratch file is named from the start (".<name>.tmp-XXXXXX" beside the
// target). Either way the scratch name is flocked while this object lives, and every Open of a
// target first deletes the scratch names of that target whose lock no live process holds (left
// by a crash). Not thread-safe; one owner writes and commits.
class AtomicFile final {
 public:
  // The mode a new file gets from open: 0666 less the process's umask.
  static constexpr uint32_t kCreationMode = 0xFFFFFFFF;

  AtomicFile() = default;
  // Removes the scratch file unless Commit succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the scratch file for path (as the file system names it) with the permission bits
  // mode (not masked by the umask; kCreationMode: masked, as open does). Returns 0 or the errno
  // (ENOENT for a missing folder). Once per object.
  [[nodiscard]] int Open(std::string path, uint32_t mode);
  // Appends bytes to the scratch file: 0 or the errno.
  [[nodiscard]] int Write(std::string_view bytes) noexcept;
  // Writes bytes at offset of the scratch file (over what is there, or extending it), leaving the
  // position Write appends at alone: 0 or the errno.
  [[nodiscard]] int WriteAt(uint64_t offset, std::string_view bytes) noexcept;
  // Flushes the scratch file to disk, moves it over the target and, with sync_folder, flushes
  // the folder so the rename survives a crash of the system. Returns 0 or the errno (the scratch
  // file is then removed by the destructor and the target is left as it was, unless only the
  // flush of the folder failed).
  [[nodiscard]] int Commit(bool sync_folder);

  // True between a successful Open and Commit.
  [[nodiscard]] bool IsOpen() const noexcept { return fd_ >= 0 && !committed_; }
  [[nodiscard]] const std::string& Path() const noexcept { return path_; }
  // The scratch file's name while it has one (the fallback, or during Commit); "" while it is
  // unnamed.
  [[nodiscard]] const std::string& TempPath() const noexcept { return temp_path_; }
  // True when the scratch file is an unnamed O_TMPFILE.
  [[nodiscard]] bool IsUnnamed() const noexcept { return unnamed_; }

 private:
  int OpenNamed(uint32_t mode);
  int LinkUnnamed();
  void CloseFile() noexcept;

  std::string path_;
  std::string folder_;
  std::string temp_path_;
  int fd_ = -1;
  bool unnamed_ = false;
  bool committed_ = false;
};

// Flushes folder (after a rename in it). Returns 0 or the errno; file systems that cannot sync a
// folder (EINVAL, EROFS) count as done.
[[nodiscard]] int SyncFolder(const std::string& folder) noexcept;

}  // namespace lyr::base
