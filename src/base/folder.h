// Reading the names in a folder.
#pragma once

#include <string>
#include <vector>

namespace lyr::base {

// The names in the folder open as folder_fd, in the order the file system gives them, without
// "." and "..". The folder is read through a duplicate, so folder_fd stays open (a fresh
// descriptor is expected: the duplicate reads on from its position). Empty when the folder
// cannot be read.
std::vector<std::string> FolderEntryNames(int folder_fd);

}  // namespace lyr::base
