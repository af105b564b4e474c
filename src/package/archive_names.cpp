// Names of archive entries: the stored bytes read as library text, and the checks that keep an
// entry inside the folder it is extracted into.
#include "package/archive_internal.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "rtl/text.h"

namespace lyr::package::archive {

// The entry's name as library text. libzip gives the stored bytes (ENC_RAW) and, in strict mode,
// the name as UTF-8 converted from CP437 unless the UTF-8 flag (bit 11) or a Unicode path extra
// field says it is UTF-8 already. A non-ASCII name converted from CP437 always changes, so an
// unchanged strict name means UTF-8; otherwise the raw bytes are taken as CP866, which is what
// archivers on Russian systems write (the OEM code page), not CP437.
std::string EntryName(zip_t* zip, zip_uint64_t index, const std::string& archive) {
  const char* raw = ::zip_get_name(zip, index, ZIP_FL_ENC_RAW);
  const char* strict = ::zip_get_name(zip, index, ZIP_FL_ENC_STRICT);
  if (raw == nullptr || strict == nullptr) {
    RaiseZipError(zip, archive);
  }
  const std::string_view raw_name(raw);
  if (IsAscii(raw_name)) {
    return std::string(raw_name);
  }
  if (raw_name == strict) {
    return rtl::Utf8ToAnsi(raw_name);
  }
  return rtl::Cp866ToAnsi(raw_name);
}

// Splits a checked entry name into its segments; a name that could land outside the target
// (empty, absolute, drive letter, backslash, ".", ".." or empty segments) fails.
std::vector<std::string> SafeSegments(const std::string& name, bool is_directory) {
  std::string_view rest(name);
  if (is_directory) {
    rest.remove_suffix(1);
  }
  const bool bad_characters = rest.find_first_of("\\:") != std::string_view::npos ||
                              std::any_of(rest.begin(), rest.end(), [](char c) {
                                return static_cast<unsigned char>(c) < 0x20;
                              });
  std::vector<std::string> segments;
  bool bad_segment = rest.empty() || bad_characters;
  while (!bad_segment && !rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    bad_segment = segment.empty() || segment == "." || segment == "..";
    segments.emplace_back(segment);
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    if (slash != std::string_view::npos && rest.empty()) {
      bad_segment = true;
    }
  }
  if (bad_segment) {
    rtl::RaiseFmt(u8"Недопустимое имя файла в архиве: [%s]", name);
  }
  return segments;
}

bool IsSymbolicLink(zip_t* zip, zip_uint64_t index) {
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (::zip_file_get_external_attributes(zip, index, 0, &opsys, &attributes) < 0) {
    return false;
  }
  return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

}  // namespace lyr::package::archive
