// The robot's journal: "tdx880-inbox 1" lines of tab-separated fields and a check sum.
#include "inbox_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/ascii.h"
#include "base/io.h"
#include "maildir.h"
#include "rtl/text.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kMark = "tdx880-inbox 1";
constexpr std::string_view kFilePrefix = "tdx880-journal.";
constexpr size_t kMaxKey = 200;

uint64_t Fnv1a(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : text) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  }
  return hash;
}

std::string Hex(uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) {
    text[static_cast<size_t>(i)] = kDigits[value & 15];
  }
  return text;
}

// Bytes that would break a field or a Maildir name, as "%XX"; with text, bytes from 0x80 up (UTF-8)
// and blanks stay.
std::string Encoded(std::string_view text, bool is_text = false) {
  std::string result;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (is_text ? byte < 0x20 || byte == 0x7F || c == '%'
                : byte < 0x21 || byte >= 0x7F || c == '%' || c == ':' || c == '/') {
      result += '%' + Hex(byte, 2);
    } else {
      result += c;
    }
  }
  return result;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) {
      return fields;
    }
    start = tab + 1;
  }
}

bool IsHex(std::string_view text) {
  return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The record of one line, or none for a line that is not whole or not intact.
std::optional<JournalRecord> RecordOf(std::string_view line) {
  const size_t last_tab = line.rfind('\t');
  if (last_tab == std::string_view::npos || !IsHex(line.substr(last_tab + 1)) ||
      line.substr(last_tab + 1) != Hex(Fnv1a(line.substr(0, last_tab)), 16)) {
    return std::nullopt;
  }
  const std::vector<std::string_view> fields = Fields(line.substr(0, last_tab));
  if (fields.size() != 5 || fields[0] != kMark) {
    return std::nullopt;
  }
  for (const std::string_view field : fields) {
    for (size_t at = field.find('%'); at != std::string_view::npos; at = field.find('%', at + 1)) {
      if (at + 2 >= field.size() || base::HexDigitValue(field[at + 1]) < 0 ||
          base::HexDigitValue(field[at + 2]) < 0) {
        return std::nullopt;
      }
    }
  }
  return JournalRecord{base::PercentDecoded(fields[1]), base::PercentDecoded(fields[2]),
                       base::PercentDecoded(fields[3]),
                       rtl::Utf8ToAnsi(base::PercentDecoded(fields[4]))};
}

// This machine's name as a file name part.
std::string MachineKey() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) {
    return "localhost";
  }
  return NameKey(name);
}

// Adds the records of the journal file path to records.
void ReadJournal(const std::string& path, std::map<std::string, JournalRecord>& records) {
  const base::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (fd.Get() < 0) {
    RaiseFileError("cannot read the journal", path);
  }
  std::string text;
  char buffer[65536];
  for (ssize_t got; (got = base::ReadSome(fd.Get(), buffer, sizeof buffer)) != 0;) {
    if (got < 0) {
      RaiseFileError("cannot read the journal", path);
    }
    text.append(buffer, static_cast<size_t>(got));
  }
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      break;  // a line not whole
    }
    if (std::optional<JournalRecord> record =
            RecordOf(std::string_view(text).substr(start, end - start))) {
      records[record->message] = std::move(*record);
    }
    start = end + 1;
  }
}

}  // namespace

Journal::Journal(const std::string& folder)
    : folder_(folder),
      path_(InFolder(folder, std::string(kFilePrefix) + MachineKey())),
      fd_(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
  if (fd_.Get() < 0) {
    RaiseFileError("cannot open the journal", path_);
  }
}

void Journal::Append(const JournalRecord& record) {
  std::string line = std::string(kMark) + "\t" + Encoded(record.message) + "\t" +
                     Encoded(record.outcome) + "\t" + Encoded(record.answer) + "\t" +
                     Encoded(rtl::AnsiToUtf8String(record.reason), true);
  line += "\t" + Hex(Fnv1a(line), 16) + "\n";
  const ssize_t written = ::write(fd_.Get(), line.data(), line.size());
  if (written != static_cast<ssize_t>(line.size()) || ::fdatasync(fd_.Get()) != 0) {
    RaiseFileError("cannot write the journal", path_);
  }
}

std::map<std::string, JournalRecord> Journal::Read() const {
  return ReadJournals(folder_);
}

std::map<std::string, JournalRecord> ReadJournals(const std::string& folder) {
  std::map<std::string, JournalRecord> records;
  for (const std::string& name : EntryNames(folder)) {
    if (name.starts_with(kFilePrefix)) {
      ReadJournal(InFolder(folder, name), records);
    }
  }
  return records;
}

std::string NameKey(const std::string& name) {
  std::string key = Encoded(name);
  if (key.size() > kMaxKey) {
    key = key.substr(0, 180) + "~" + Hex(Fnv1a(name), 16);
  }
  return key;
}

}  // namespace lyr::tool
