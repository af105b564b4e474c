// COsAbbreviaTool over libzip: archives held in memory (packed documents) and the hand checks of
// their ZIP records. Names, reading, extraction and building live in the archive_*.cpp and
// entry_source.cpp files beside it.
#include "package/os_abbrevia_tool.h"

#include <zip.h>

#include <algorithm>
#include <string>
#include <utility>

#include "package/archive_internal.h"
#include "package/zip_records.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/large_buffer.h"

namespace lyr::package {

using archive::CheckEntryStat;
using archive::EntryName;
using archive::OpenMemoryArchive;
using archive::RaiseZipError;
using archive::ReadEntry;
using archive::StatEntry;
using archive::ZipPtr;
using rtl::NativePath;

namespace {

// A packed document: an archive of exactly one entry, checked as every entry read is.
struct SingleEntry {
  ZipPtr zip;
  std::string name;
  zip_stat_t stat;
};

SingleEntry OpenSingleEntry(std::string_view archive_bytes) {
  ZipPtr zip = OpenMemoryArchive(archive_bytes, ZIP_RDONLY | ZIP_CHECKCONS);
  const zip_int64_t count = ::zip_get_num_entries(zip.get(), 0);
  if (count != 1) {
    rtl::RaiseFmt(u8"Неверное число файлов в архиве: [%d]", static_cast<int64_t>(count));
  }
  std::string name = EntryName(zip.get(), 0, {});
  const zip_stat_t stat = StatEntry(zip.get(), 0, {});
  CheckEntryStat(stat, name);
  return {std::move(zip), std::move(name), stat};
}

}  // namespace

std::string COsAbbreviaTool::UnpackDocument(std::string_view archive_bytes,
                                            rtl::DecompressionBudget& budget) {
  const auto [zip, name, stat] = OpenSingleEntry(archive_bytes);
  // Taken before the buffer is reserved: a bomb that says how large it is costs nothing.
  budget.Take(stat.size);
  std::string result;
  rtl::ReserveLarge(result, static_cast<size_t>(stat.size));
  ReadEntry(zip.get(), 0, stat.size, name, {}, [&](std::string_view chunk) { result += chunk; });
  return result;
}

namespace {

using zip_records::Le16;
using zip_records::Le32;

// The archive ends with an end record without comment naming one central record, which lies
// straight before it and points at a local header at offset 0.
bool CentralRecordPointsAtStart(std::string_view bytes) {
  constexpr size_t kEndRecord = 22;
  constexpr size_t kCentralRecord = 46;
  if (bytes.size() < kEndRecord + kCentralRecord) {
    return false;
  }
  const size_t end = bytes.size() - kEndRecord;
  if (Le32(bytes, end) != zip_records::kEndRecordSignature || Le16(bytes, end + 8) != 1 ||
      Le16(bytes, end + 10) != 1 || Le16(bytes, end + 20) != 0) {
    return false;
  }
  const uint64_t central_size = Le32(bytes, end + 12);
  const uint64_t central_offset = Le32(bytes, end + 16);
  return central_offset + central_size == end && central_size >= kCentralRecord &&
         Le32(bytes, central_offset) == zip_records::kCentralRecordSignature &&
         Le32(bytes, central_offset + 42) == 0;
}

}  // namespace

bool COsAbbreviaTool::TakeLeadingEntry(std::string_view archive_bytes,
                                       rtl::DecompressionBudget& budget,
                                       const LeadingEntry& entry) {
  const zip_stat_t stat = OpenSingleEntry(archive_bytes).stat;
  constexpr zip_uint64_t kNeeded =
      ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
  if ((stat.valid & kNeeded) != kNeeded || stat.size != entry.size ||
      stat.comp_size != entry.compressed_size || stat.crc != entry.crc ||
      stat.comp_method != static_cast<zip_uint16_t>(entry.method) ||
      !CentralRecordPointsAtStart(archive_bytes)) {
    return false;
  }
  budget.Take(stat.size);
  return true;
}

namespace {

uint64_t DeclaredSizes(zip_t* zip) {
  const zip_int64_t count = ::zip_get_num_entries(zip, 0);
  uint64_t total = 0;
  for (zip_int64_t index = 0; index < count; ++index) {
    zip_stat_t stat;
    ::zip_stat_init(&stat);
    if (::zip_stat_index(zip, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
        (stat.valid & ZIP_STAT_SIZE) != 0) {
      total += std::min<uint64_t>(stat.size, COsAbbreviaTool::kMaxEntrySize + 1);
    }
  }
  return total;
}

}  // namespace

uint64_t COsAbbreviaTool::DeclaredPlainSize(const std::string& archive) {
  int error_code = 0;
  const ZipPtr zip(::zip_open(NativePath(archive).c_str(), ZIP_RDONLY, &error_code));
  return zip ? DeclaredSizes(zip.get()) : 0;
}

uint64_t COsAbbreviaTool::DeclaredPlainSizeOf(std::string_view archive_bytes) {
  try {
    const ZipPtr zip = OpenMemoryArchive(archive_bytes, ZIP_RDONLY);
    return DeclaredSizes(zip.get());
  } catch (const rtl::Exception&) {
    return 0;  // not readable as an archive: whoever inflates it reports that
  }
}

uint64_t COsAbbreviaTool::EntryCount(std::string_view archive_bytes) {
  ZipPtr zip = OpenMemoryArchive(archive_bytes, ZIP_RDONLY | ZIP_CHECKCONS);
  const zip_int64_t count = ::zip_get_num_entries(zip.get(), 0);
  if (count < 0) {
    RaiseZipError(zip.get(), {});
  }
  return static_cast<uint64_t>(count);
}

}  // namespace lyr::package
