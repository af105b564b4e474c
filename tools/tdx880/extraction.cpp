// Extraction through a staging folder: every file is written completely beside its target, then
// moved into place with a rename that never replaces an entry, and undone as a whole on failure.
#include "extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>

#include "base/io.h"
#include "base/unique_fd.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/folder_lock.h"
#include "rtl/format.h"
#include "signal_cleanup.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using rtl::NativePath;

// The staging folders' names in the target folder, before a new identifier.
constexpr std::string_view kStagingPrefix = ".tdx880-extract-";

using base::UniqueFd;

// rename from_dir/from to to_dir/to, failing with EEXIST when to exists: renameat2 with
// RENAME_NOREPLACE (through the system call when the C library has no wrapper), or, on a file
// system without it, a hard link (which never replaces either) and the removal of the old name.
int RenameNoReplace(int from_dir, const char* from, int to_dir, const char* to) {
#if defined(RENAME_NOREPLACE)
  int rc = ::renameat2(from_dir, from, to_dir, to, RENAME_NOREPLACE);
#else
  constexpr unsigned int kRenameNoReplace = 1;
  int rc = static_cast<int>(::syscall(SYS_renameat2, from_dir, from, to_dir, to, kRenameNoReplace));
#endif
  if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
    rc = ::linkat(from_dir, from, to_dir, to, 0);
    if (rc == 0) {
      ::unlinkat(from_dir, from, 0);
    }
  }
  return rc;
}

// One extraction into a folder; undoes itself unless committed, also when a signal stops the
// tool. Every change of what Undo looks at happens inside CleanupOnSignal::Exclusive.
class Extraction final {
 public:
  Extraction(std::string folder, bool made_folder)
      : folder_(std::move(folder)),
        made_folder_(made_folder),
        folder_fd_(::open(NativePath(folder_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
        cleanup_([this] { Undo(); }) {
    if (folder_fd_.Get() < 0) {
      const int error = errno;
      UndoExclusively();
      rtl::RaiseOSError(error);
    }
    // The staging folder of an extraction killed outright is left with its lock released.
    rtl::SweepStaleFolders(folder_, kStagingPrefix);
    int error = 0;
    try {
      CleanupOnSignal::Exclusive([&] {
        staging_.emplace(rtl::CreateLockedFolder(folder_, kStagingPrefix));
        staging_fd_ = ::open(NativePath(staging_->Folder()).c_str(),
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        error = staging_fd_ < 0 ? errno : 0;
      });
    } catch (...) {
      UndoExclusively();
      throw;
    }
    if (error != 0) {
      UndoExclusively();
      rtl::RaiseOSError(error);
    }
  }

  ~Extraction() {
    UndoExclusively();
    if (staging_fd_ >= 0) {
      ::close(staging_fd_);
    }
  }

  // Writes name into the staging folder.
  int64_t Stage(const std::string& name, std::string_view content) {
    const std::string native = NativePath(name);
    int fd = -1;
    CleanupOnSignal::Exclusive([&] {
      fd = ::openat(staging_fd_, native.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd >= 0) {
        staged_.push_back(native);
      }
    });
    if (fd < 0) {
      rtl::RaiseLastOSError();
    }
    UniqueFd file(fd);
    if (::fchmod(file.Get(), 0600) != 0) {
      rtl::RaiseLastOSError();
    }
    rtl::RaiseIfOSError(base::WriteAll(file.Get(), content));
    if (::fsync(file.Get()) != 0) {
      rtl::RaiseLastOSError();
    }
    rtl::RaiseIfOSError(file.Close());
    return static_cast<int64_t>(content.size());
  }

  // Moves the staged file into the folder under its name; raises when the name is taken.
  void Move(const ExtractedName& item, const std::string& target) {
    const std::string native = NativePath(item.name);
    int error = 0;
    CleanupOnSignal::Exclusive([&] {
      if (RenameNoReplace(staging_fd_, native.c_str(), folder_fd_.Get(), native.c_str()) != 0) {
        error = errno;
        return;
      }
      struct stat st {};
      if (::fstatat(folder_fd_.Get(), native.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        moved_.push_back({native, st.st_dev, st.st_ino});
      } else {
        // Cannot happen for a file just moved in; should it, the file is left, never guessed.
        error = errno;
      }
    });
    if (error == EEXIST) {
      const std::string which = item.number > 0 ? rtl::Format("document %d: ", item.number) : "";
      throw rtl::Exception(
          rtl::Format("%s%s exists already; nothing was written", which, Escaped(target)));
    }
    if (error != 0) {
      rtl::RaiseOSError(error);
    }
  }

  // Makes the moves durable and drops the staging folder; nothing is undone afterwards.
  void Commit() {
    if (::fsync(folder_fd_.Get()) != 0 && errno != EINVAL && errno != EROFS) {
      rtl::RaiseLastOSError();
    }
    CleanupOnSignal::Exclusive([this] {
      moved_.clear();
      made_folder_ = false;
      Undo();
    });
  }

  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

 private:
  struct Moved {
    std::string name;  // native
    dev_t device;
    ino_t inode;
  };

  void UndoExclusively() noexcept {
    try {
      CleanupOnSignal::Exclusive([this] { Undo(); });
    } catch (...) {
      Undo();
    }
  }

  // Removes the files moved into the folder (only while they are still the very files this
  // extraction moved there), the staging folder with what it holds, and the folder when this
  // extraction made it and it is empty. Runs once.
  void Undo() noexcept {
    if (undone_) {
      return;
    }
    undone_ = true;
    for (auto it = moved_.rbegin(); it != moved_.rend(); ++it) {
      struct stat st {};
      if (::fstatat(folder_fd_.Get(), it->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          st.st_dev == it->device && st.st_ino == it->inode) {
        ::unlinkat(folder_fd_.Get(), it->name.c_str(), 0);
      }
    }
    if (staging_fd_ >= 0) {
      for (const std::string& name : staged_) {
        ::unlinkat(staging_fd_, name.c_str(), 0);
      }
    }
    if (staging_) {
      staging_->Remove();
    }
    if (made_folder_) {
      ::rmdir(NativePath(folder_).c_str());
    }
  }

  std::string folder_;
  bool made_folder_;
  UniqueFd folder_fd_;
  int staging_fd_ = -1;
  std::optional<rtl::FolderLock> staging_;
  std::vector<std::string> staged_;  // native names created in the staging folder
  std::vector<Moved> moved_;
  bool undone_ = false;
  CleanupOnSignal cleanup_;  // last: unregistered before anything it uses goes
};

}  // namespace

std::vector<ExtractedFile> WriteAllOrNothing(const std::string& folder,
                                             const std::vector<ExtractedName>& names,
                                             const std::function<std::string(size_t)>& content) {
  const bool existed = rtl::DirectoryExists(folder);
  if (!rtl::ForceDirectories(folder)) {
    throw rtl::Exception("cannot create the folder " + Escaped(folder));
  }
  Extraction extraction(folder, !existed);
  std::vector<ExtractedFile> files;
  for (size_t i = 0; i < names.size(); ++i) {
    files.push_back({rtl::IncludeTrailingBackslash(folder) + names[i].name,
                     extraction.Stage(names[i].name, content(i))});
  }
  for (size_t i = 0; i < names.size(); ++i) {
    extraction.Move(names[i], files[i].path);
  }
  extraction.Commit();
  return files;
}

}  // namespace lyr::tool
