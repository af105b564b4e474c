// Fuzz entry: bytes as a ZIP archive, read the three ways the library reads archives: unpacked in
// memory as a packed document, followed from its local header as decryption hands the bytes over
// (which must give what unpacking in memory gives, error for error), and extracted into a sandbox
// folder (nothing may land outside it). Every failure must be one of the library's errors.
#include <dirent.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/content_stream.h"
#include "package/os_abbrevia_tool.h"
#include "package/streamed_plain.h"
#include "rtl/decompression_budget.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"

namespace {

using lyr::package::COsAbbreviaTool;

constexpr uint64_t kBudget = 1 << 20;

// One folder for the whole run, removed at exit.
const std::string& TmpDir() {
  static const std::string* const path = [] {
    auto* made = new std::string("/tmp/lyr-fuzz-archive-XXXXXX");
    if (::mkdtemp(made->data()) == nullptr) {
      std::abort();
    }
    std::atexit([] { lyr::rtl::DeleteDirectoryTree(TmpDir()); });
    return made;
  }();
  return *path;
}

// The names in folder other than "." and "..".
int CountEntries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    std::abort();
  }
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    count += name != "." && name != ".." ? 1 : 0;
  }
  ::closedir(dir);
  return count;
}

// The plain content, or the message of the library's error.
struct Outcome {
  std::optional<std::string> plain;
  std::string error;
  bool operator==(const Outcome&) const = default;
};

template <typename Unpack>
Outcome Try(Unpack&& unpack) {
  try {
    return {unpack(), {}};
  } catch (const lyr::rtl::Exception& e) {
    return {std::nullopt, e.Message()};
  }
}

void UnpackBothWays(std::string_view bytes, size_t piece) {
  const Outcome in_memory = Try([&] {
    lyr::rtl::DecompressionBudget budget(kBudget);
    return COsAbbreviaTool::UnpackDocument(bytes, budget);
  });
  const Outcome streamed = Try([&] {
    lyr::rtl::DecompressionBudget budget(kBudget);
    lyr::crypt::ContentDigester digester({});
    return *lyr::package::UnpackStreamed(bytes, piece, digester, budget).plain;
  });
  if (!(in_memory == streamed)) {
    std::abort();
  }
}

void Extract(std::string_view bytes) {
  const std::string archive = TmpDir() + "/archive.zip";
  const std::string outer = TmpDir() + "/a";
  lyr::rtl::WriteStringToFile(archive, bytes);
  try {
    lyr::rtl::DecompressionBudget budget(kBudget);
    (void)COsAbbreviaTool::ExtractArchive(outer + "/b", archive, true, &budget);
  } catch (const lyr::rtl::Exception&) {
  }
  // Whatever happened, the extraction stayed in a folder of its own below a/b.
  if (CountEntries(TmpDir()) != 2 || CountEntries(outer) != 1 || CountEntries(outer + "/b") > 1) {
    std::abort();
  }
  if (!lyr::rtl::DeleteDirectoryTree(outer)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  UnpackBothWays(bytes, 13);
  UnpackBothWays(bytes, size + 1);
  try {
    (void)COsAbbreviaTool::DeclaredPlainSizeOf(bytes);
    (void)COsAbbreviaTool::EntryCount(bytes);
  } catch (const lyr::rtl::Exception&) {
  }
  Extract(bytes);
  return 0;
}
