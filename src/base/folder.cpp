// Folder listings through a duplicate descriptor and readdir(3).
#include "base/folder.h"

#include <dirent.h>
#include <unistd.h>

#include <memory>
#include <string_view>

namespace lyr::base {
namespace {

struct CloseDir {
  void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};

}  // namespace

std::vector<std::string> FolderEntryNames(int folder_fd) {
  std::vector<std::string> names;
  const int copy = ::dup(folder_fd);
  if (copy < 0) {
    return names;
  }
  const std::unique_ptr<DIR, CloseDir> dir(::fdopendir(copy));
  if (!dir) {
    ::close(copy);
    return names;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      names.emplace_back(name);
    }
  }
  return names;
}

}  // namespace lyr::base
