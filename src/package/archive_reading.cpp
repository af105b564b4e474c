// Opening archives and checking their entries before any data are read.
#include "package/archive_internal.h"

#include <set>
#include <utility>
#include <vector>

#include "rtl/file_utils.h"

namespace lyr::package::archive {

using rtl::NativePath;

// The archive library's own text, with the archive's name when there is a file.
[[noreturn]] void RaiseZipError(zip_error_t* error, const std::string& archive) {
  std::string text = ::zip_error_strerror(error);
  if (!archive.empty()) {
    text += ": [" + archive + "]";
  }
  rtl::Raise(std::move(text));
}

[[noreturn]] void RaiseZipError(zip_t* zip, const std::string& archive) {
  RaiseZipError(::zip_get_error(zip), archive);
}

zip_stat_t StatEntry(zip_t* zip, zip_uint64_t index, const std::string& archive) {
  zip_stat_t stat;
  ::zip_stat_init(&stat);
  if (::zip_stat_index(zip, index, 0, &stat) < 0) {
    RaiseZipError(zip, archive);
  }
  return stat;
}

// The size checks every entry passes before its data are read.
void CheckEntryStat(const zip_stat_t& stat, const std::string& name) {
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
    rtl::RaiseFmt(u8"Зашифрованные файлы в архиве не поддерживаются: [%s]", name);
  }
  if ((stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > COsAbbreviaTool::kMaxEntrySize) {
    rtl::RaiseFmt(u8"Слишком большой файл в архиве: [%s]", name);
  }
}

void CheckEntryCount(zip_t* zip, const std::string& archive) {
  const zip_int64_t count = ::zip_get_num_entries(zip, 0);
  if (count < 0) {
    RaiseZipError(zip, archive);
  }
  if (static_cast<uint64_t>(count) > COsAbbreviaTool::kMaxEntryCount) {
    rtl::RaiseFmt(u8"Слишком много файлов в архиве: [%d]", static_cast<int64_t>(count));
  }
}

std::vector<PlannedEntry> PlanExtraction(zip_t* zip, const std::string& archive,
                                         rtl::DecompressionBudget* budget) {
  CheckEntryCount(zip, archive);
  const auto count = static_cast<zip_uint64_t>(::zip_get_num_entries(zip, 0));
  std::vector<PlannedEntry> plan;
  std::set<std::string> names;
  uint64_t total = 0;
  for (zip_uint64_t index = 0; index < count; ++index) {
    PlannedEntry entry;
    entry.index = index;
    entry.name = EntryName(zip, index, archive);
    entry.is_directory = !entry.name.empty() && entry.name.back() == '/';
    entry.segments = SafeSegments(entry.name, entry.is_directory);
    if (IsSymbolicLink(zip, index)) {
      rtl::RaiseFmt(u8"Символическая ссылка в архиве недопустима: [%s]", entry.name);
    }
    std::string key = entry.name;
    if (entry.is_directory) {
      key.pop_back();
    }
    if (!names.insert(key).second) {
      rtl::RaiseFmt(u8"Файл встречается в архиве дважды: [%s]", entry.name);
    }
    const zip_stat_t stat = StatEntry(zip, index, archive);
    CheckEntryStat(stat, entry.name);
    entry.size = stat.size;
    total += entry.size;
    if (total > COsAbbreviaTool::kMaxTotalSize) {
      rtl::RaiseFmt(u8"Слишком большой объём файлов в архиве: [%s]", archive);
    }
    plan.push_back(std::move(entry));
  }
  if (budget != nullptr) {
    budget->Take(total);
  }
  return plan;
}

ZipPtr OpenMemoryArchive(std::string_view bytes, int flags) {
  zip_error_t error;
  ::zip_error_init(&error);
  SourcePtr source(::zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error));
  if (!source) {
    RaiseZipError(&error, {});
  }
  ZipPtr zip(::zip_open_from_source(source.get(), flags, &error));
  if (!zip) {
    RaiseZipError(&error, {});
  }
  (void)source.release();
  return zip;
}

ZipPtr OpenArchiveFile(const std::string& archive, int flags) {
  int error_code = 0;
  ZipPtr zip(::zip_open(NativePath(archive).c_str(), flags, &error_code));
  if (!zip) {
    zip_error_t error;
    ::zip_error_init_with_code(&error, error_code);
    RaiseZipError(&error, archive);
  }
  return zip;
}

}  // namespace lyr::package::archive
