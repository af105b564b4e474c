// Private scratch folders marked as in use by a lock file, and the sweep that removes the ones
// left behind by processes that died.
#pragma once

#include <string>
#include <string_view>

namespace lyr::rtl {

// A scratch folder owned by this process: an exclusive flock on the lock file "<folder>.lock"
// beside it, held for the object's life, tells every other process that the folder is in use.
// The lock file holds a fixed mark, so a sweep only ever touches lock files this helper made.
// The kernel drops the flock when the process dies in any way (also kill -9), so a folder whose
// lock nobody holds is a leftover; SweepStaleFolders removes such folders.
//
// The folder belongs to the lock: destruction (or Remove) deletes the folder with everything in
// it (links are deleted, never followed), then the lock file, then releases the lock. The
// descriptor is close-on-exec, so programs started by the process do not keep the lock; a child
// made by fork without exec shares it until it exits. Paths are library text (windows-1251).
class FolderLock final {
 public:
  // Locks folder (which need not exist yet; a trailing "/" is ignored for the lock file's name):
  // creates "<folder>.lock" when missing and takes the lock without waiting. Raises an OS error
  // when the lock file cannot be made or opened (a link there is refused) and EWOULDBLOCK when
  // another process holds the lock.
  explicit FolderLock(std::string folder);
  // Remove, unless already done or moved from. Never throws.
  ~FolderLock();

  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // The folder as given to the constructor or made by CreateLockedFolder; "" once moved from.
  [[nodiscard]] const std::string& Folder() const noexcept { return folder_; }
  // True until Remove ran (or the object was moved from).
  [[nodiscard]] bool Held() const noexcept { return fd_ >= 0; }

  // Deletes the folder and everything below it, then the lock file (when it is still the one
  // this object locked), then releases the lock. True when the folder is gone afterwards (a
  // folder that never existed counts as gone). Does nothing and returns true when not held.
  bool Remove() noexcept;

 private:
  friend FolderLock CreateLockedFolder(const std::string& parent, std::string_view prefix);
  FolderLock(std::string folder, int fd) noexcept : folder_(std::move(folder)), fd_(fd) {}

  std::string folder_;
  int fd_ = -1;
};

// Makes a new folder "<parent>/<prefix><32 lower-case hexadecimal characters>" with mode 0700
// (whatever the umask) and returns it locked; the lock file is made and locked before the
// folder appears, so a sweep never sees the folder unlocked. Raises an OS error when the lock
// file or the folder cannot be created (ENOENT when parent does not exist).
FolderLock CreateLockedFolder(const std::string& parent, std::string_view prefix);

// Removes every folder "<parent>/<prefix><32 lower-case hexadecimal characters>" that has this
// helper's lock file beside it and whose lock no process holds, with everything in it, and then
// its lock file; a lock file of that form whose folder is gone is removed too. Never touches a
// folder whose lock is held, a folder without this helper's lock file, an entry of another form
// or another owner, or anything through a link. Errors (an unreadable parent, a folder that
// cannot be deleted completely) are logged to the trace and skipped; never throws.
void SweepStaleFolders(const std::string& parent, std::string_view prefix) noexcept;

}  // namespace lyr::rtl
