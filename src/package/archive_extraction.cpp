// Safe extraction of archives that come from strangers: every entry checked first, every file
// created below the target without following links, and a failure undoes what was written.
#include "package/archive_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/io.h"
#include "base/unique_fd.h"
#include "rtl/file_utils.h"
#include "rtl/identifiers.h"
#include "rtl/large_buffer.h"

namespace lyr::package::archive {

using base::UniqueFd;
using rtl::NativePath;

namespace {

// ---- Writing extracted files ----------------------------------------------------------------

// Writes the planned entries below one target folder. Every folder on the way is opened with
// O_NOFOLLOW relative to its parent and every file is created with O_NOFOLLOW, so nothing can be
// redirected outside the target even by links that were there before. Remembers what it created
// so that a failure removes it again.
class Extractor final {
 public:
  Extractor(zip_t* zip, std::string archive, const std::string& target)
      : zip_(zip),
        archive_(std::move(archive)),
        target_(rtl::IncludeTrailingBackslash(target)),
        root_(::open(NativePath(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (root_.Get() < 0) {
      rtl::RaiseLastOSError();
    }
  }

  void Extract(const PlannedEntry& entry) {
    std::vector<std::unique_ptr<UniqueFd>> folders;
    int parent = root_.Get();
    const size_t folder_count =
        entry.is_directory ? entry.segments.size() : entry.segments.size() - 1;
    std::string relative;
    for (size_t i = 0; i < folder_count; ++i) {
      relative += entry.segments[i] + "/";
      parent = OpenFolder(parent, entry.segments[i], relative, folders);
    }
    if (!entry.is_directory) {
      WriteFile(parent, entry, relative + entry.segments.back());
    }
  }

  // Removes, newest first, what was created (after a failure). Never throws.
  void Undo() noexcept {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      const std::string path = NativePath(target_ + it->first);
      if (it->second) {
        ::rmdir(path.c_str());
      } else {
        ::unlink(path.c_str());
      }
    }
  }

 private:
  int OpenFolder(int parent, const std::string& segment, const std::string& relative,
                 std::vector<std::unique_ptr<UniqueFd>>& folders) {
    const std::string native = NativePath(segment);
    if (::mkdirat(parent, native.c_str(), 0700) == 0) {
      created_.emplace_back(relative, true);
    } else if (errno != EEXIST) {
      rtl::RaiseLastOSError();
    }
    const int fd =
        ::openat(parent, native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      rtl::RaiseLastOSError();
    }
    folders.push_back(std::make_unique<UniqueFd>(fd));
    return fd;
  }

  void WriteFile(int parent, const PlannedEntry& entry, const std::string& relative) {
    const std::string native = NativePath(entry.segments.back());
    UniqueFd fd(::openat(parent, native.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.Get() < 0) {
      rtl::RaiseLastOSError();
    }
    created_.emplace_back(relative, false);
    ReadEntry(zip_, entry.index, entry.size, entry.name, archive_, [&](std::string_view chunk) {
      rtl::RaiseIfOSError(base::WriteAll(fd.Get(), chunk));
    });
    rtl::RaiseIfOSError(fd.Close());
  }

  zip_t* zip_;
  std::string archive_;
  std::string target_;
  UniqueFd root_;
  // Relative path and whether it is a folder, in creation order.
  std::vector<std::pair<std::string, bool>> created_;
};

}  // namespace

}  // namespace lyr::package::archive

namespace lyr::package {

namespace {

using archive::Extractor;
using archive::OpenArchiveFile;
using archive::PlanExtraction;
using archive::PlannedEntry;
using archive::ReadEntry;
using archive::ZipPtr;

// Extracts the archive into the folder target gives (which exists), asked for when the first
// entry is written; an entry for which keep_in_memory says yes goes to it instead. Files written
// before a failure are removed again.
template <typename Target, typename Keep>
void ExtractInto(Target&& target, const std::string& archive, rtl::DecompressionBudget* budget,
                 Keep&& keep_in_memory) {
  ZipPtr zip = OpenArchiveFile(archive, ZIP_RDONLY | ZIP_CHECKCONS);
  const std::vector<PlannedEntry> plan = PlanExtraction(zip.get(), archive, budget);
  std::optional<Extractor> extractor;
  try {
    for (const PlannedEntry& entry : plan) {
      if (!keep_in_memory(zip.get(), entry)) {
        if (!extractor) {
          extractor.emplace(zip.get(), archive, target());
        }
        extractor->Extract(entry);
      }
    }
  } catch (...) {
    if (extractor) {
      extractor->Undo();
    }
    throw;
  }
}

}  // namespace

std::string COsAbbreviaTool::ExtractArchive(const std::string& directory,
                                            const std::string& archive, bool make_unique,
                                            rtl::DecompressionBudget* budget) {
  std::string target = directory;
  if (make_unique) {
    do {
      target = rtl::CombinePath(directory, rtl::NewGuidString());
    } while (rtl::DirectoryExists(target));
  }
  if (!rtl::ForceDirectories(target)) {
    rtl::RaiseLastOSError();
  }
  ExtractInto([&] { return target; }, archive, budget,
              [](zip_t*, const PlannedEntry&) { return false; });
  return rtl::IncludeTrailingBackslash(target);
}

void COsAbbreviaTool::ExtractArchiveKeeping(
    const std::function<std::string()>& directory, const std::string& archive,
    rtl::DecompressionBudget* budget, uint64_t memory_limit,
    const std::function<void(const std::string&, std::string)>& keep) {
  uint64_t kept = 0;
  ExtractInto(directory, archive, budget, [&](zip_t* zip, const PlannedEntry& entry) {
    if (entry.is_directory || entry.segments.size() != 1 || entry.size > memory_limit - kept) {
      return false;
    }
    kept += entry.size;
    std::string bytes;
    rtl::ReserveLarge(bytes, static_cast<size_t>(entry.size));
    ReadEntry(zip, entry.index, entry.size, entry.name, archive,
              [&](std::string_view chunk) { bytes += chunk; });
    keep(entry.name, std::move(bytes));
    return true;
  });
}

}  // namespace lyr::package
