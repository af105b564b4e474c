// Writing documents into a folder all together or not at all, never replacing a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lyr::tool {

// One file to write: the document's number in the package (for messages; 0 for a file that is
// not a document) and the name it gets in the folder (one path segment, checked by the caller).
struct ExtractedName {
  int32_t number = 0;
  std::string name;  // library text
};

// A file written: its full path (library text) and its size.
struct ExtractedFile {
  std::string path;
  int64_t size = 0;
};

// Writes the files into folder (library text; made with its missing parents when missing): first
// every file into a private staging folder inside folder (content(i) gives the bytes of
// names[i]; each file is written, flushed and closed before the next is asked for), then each is
// moved to its name with a rename that never replaces an entry. When a name is taken meanwhile
// (another writer), it raises "document N: <path> exists already; nothing was written" ("<path>
// exists already; ..." for number 0); any
// failure removes what this call moved into folder so far and the staging folder, and removes
// folder again when this call made it and it is empty. A signal that stops the tool removes the
// same. Returns every file written, in order.
std::vector<ExtractedFile> WriteAllOrNothing(const std::string& folder,
                                             const std::vector<ExtractedName>& names,
                                             const std::function<std::string(size_t)>& content);

}  // namespace lyr::tool
