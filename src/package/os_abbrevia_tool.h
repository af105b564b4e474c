// COsAbbreviaTool: the archive adaptor over libzip (extract a package, build a package, pack and
// unpack one document).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rtl/base_class.h"
#include "rtl/decompression_budget.h"

namespace lyr::package {

// Stateless: every operation is a class operation. Entries are deflated at the normal level, or
// stored when deflating does not make them smaller. Paths and entry names are library text
// (windows-1251). Entry names are written as ASCII when they are ASCII, else as UTF-8 with the
// UTF-8 flag (general-purpose bit 11); on reading, a name with that flag is UTF-8, a name without
// it is CP866 (the OEM code page of Russian systems), and both become windows-1251.
class COsAbbreviaTool final : public rtl::CBaseClass {
 public:
  // Archives come from strangers: extraction refuses an archive with more entries than this, an
  // entry whose declared or actual size exceeds kMaxEntrySize, and entries adding up to more than
  // kMaxTotalSize.
  static constexpr uint64_t kMaxEntryCount = 65536;
  static constexpr uint64_t kMaxEntrySize = uint64_t{2} << 30;
  static constexpr uint64_t kMaxTotalSize = uint64_t{4} << 30;

  // Extracts every entry of the archive into directory (with make_unique, into a new folder of
  // directory named by NewGuidString); missing folders are created 0700. Returns the folder that
  // received the entries, ending in "/". Before anything is written every entry is checked: a
  // name that is empty, absolute, has a drive letter, a backslash or a "." or ".." segment, a
  // symbolic link, a name met twice, an encrypted entry or an over-large one fails and nothing is
  // extracted; files written before a later failure (a damaged entry) are removed again. An
  // unreadable or damaged archive fails with the archive library's text; a folder or file that
  // cannot be created with an OS error. With a budget, the entries' declared sizes together are
  // taken from it before anything is written (its message when they do not fit).
  static std::string ExtractArchive(const std::string& directory, const std::string& archive,
                                    bool make_unique, rtl::DecompressionBudget* budget = nullptr);

  // ExtractArchive, except that each file entry at the archive's root is handed to keep (its name
  // and its bytes) instead of being written, as long as the entries kept so far and this one add
  // up to at most memory_limit bytes. The others are written as ExtractArchive writes them, into
  // the folder that directory gives (an existing one, ending in "/"), asked for when the first of
  // them comes. The checks, the budget and the errors are ExtractArchive's; after a failure,
  // files written are removed again and keep may have been called for some entries.
  static void ExtractArchiveKeeping(
      const std::function<std::string()>& directory, const std::string& archive,
      rtl::DecompressionBudget* budget, uint64_t memory_limit,
      const std::function<void(const std::string&, std::string)>& keep);

  // Builds archive from the regular files of directory whose names match mask ("*.*" or "*" for
  // all; folders are not searched, links are skipped); entry names are the bare file names.
  // Returns false and does nothing when directory does not exist. libzip writes the archive
  // straight into an rtl::AtomicFile (never holding it in memory): an unnamed scratch file in the
  // archive's folder, renamed over the archive when complete. So a failure, or a crash at any
  // point, leaves an existing archive as it was and no scratch file behind. A replaced archive
  // keeps its permission bits; a new one gets 0666 less the umask.
  static bool BuildArchiveFromDirectory(const std::string& directory, const std::string& mask,
                                        const std::string& archive);

  // Builds archive from entries in memory (name, bytes), in the order given, written as
  // BuildArchiveFromDirectory writes it (through rtl::AtomicFile, same permission rules). Entries
  // are deflated or stored as there. No entries make an empty archive.
  static void BuildArchive(const std::vector<std::pair<std::string, std::string_view>>& entries,
                           const std::string& archive);

  // The bytes of a ZIP archive holding one entry named entry_name with data. Built in memory.
  static std::string PackDocument(const std::string& entry_name, std::string_view data);

  // The data of the single entry of the ZIP archive archive_bytes. Fails with "Неверное число
  // файлов в архиве: [%d]" (the entry count) unless there is exactly one entry, and with the
  // archive library's text for a damaged archive. Read in memory. The entry's declared size is
  // taken from budget before anything is inflated (the budget's message when it does not fit);
  // an entry that inflates to more than it declared fails with "Размер файла в архиве больше
  // заявленного: [%s]" as soon as it does.
  static std::string UnpackDocument(std::string_view archive_bytes,
                                    rtl::DecompressionBudget& budget);

  // What a reader that inflated the single entry of a packed document from its local header
  // (at the archive's start) found there.
  struct LeadingEntry {
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint32_t crc = 0;
    uint64_t compressed_size = 0;
    uint64_t size = 0;
  };
  // Whether UnpackDocument(archive_bytes, budget) gives exactly what inflating entry gave: makes
  // UnpackDocument's checks before it inflates, in its order and with its messages, then
  // compares; when the archive's one entry is entry (method, CRC, sizes) and its central record
  // points at the local header at offset 0 (checked on the plain form a ZIP writer makes: one
  // central record straight before an end record without comment), takes the entry's size from
  // budget as UnpackDocument does and returns true. Returns false, taking nothing, otherwise.
  static bool TakeLeadingEntry(std::string_view archive_bytes, rtl::DecompressionBudget& budget,
                               const LeadingEntry& entry);

  // The declared sizes of the entries of the ZIP file archive added up, read from its central
  // directory without inflating anything; 0 when it cannot be read as an archive (whoever
  // inflates it later reports that).
  static uint64_t DeclaredPlainSize(const std::string& archive);
  // DeclaredPlainSize of the ZIP archive archive_bytes in memory.
  static uint64_t DeclaredPlainSizeOf(std::string_view archive_bytes);

  // The number of entries of the ZIP archive archive_bytes.
  static uint64_t EntryCount(std::string_view archive_bytes);
};

}  // namespace lyr::package
