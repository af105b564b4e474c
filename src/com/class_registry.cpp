// The class registry file: parsing, formatting, locating, and atomic updates under a lock.
#include "class_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

#include "base/ascii.h"
#include "base/atomic_file.h"
#include "base/io.h"
#include "base/unique_fd.h"
#include "guid_text.h"
#include "lyr/com/functions.h"

namespace lyr::com {
namespace {

constexpr std::string_view kHeader = "lyrcom-registry 1";
constexpr size_t kMaxFileSize = 4 * 1024 * 1024;
constexpr size_t kMaxProgIdLength = 39;

using base::UniqueFd;

std::string ErrnoText(int error) {
  return std::strerror(error);
}

[[noreturn]] void Fail(HRESULT code, const std::string& message) {
  throw RegistryError(code, message);
}

bool IsKnownThreadingModel(std::string_view model) {
  return model == "Apartment" || model == "Free" || model == "Both" || model == "Neutral";
}

// Letters, digits, '.' and '_', at most 39 characters, not starting with a digit.
bool IsValidProgId(std::string_view progId) {
  if (progId.empty() || progId.size() > kMaxProgIdLength ||
      (progId[0] >= '0' && progId[0] <= '9')) {
    return false;
  }
  for (const char c : progId) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_';
    if (!ok) {
      return false;
    }
  }
  return true;
}

// A path the file format can carry: absolute, no control characters.
bool IsValidLibraryPath(std::string_view path) {
  if (path.empty() || path[0] != '/' || path.size() > 4096) {
    return false;
  }
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return false;
    }
  }
  return true;
}

bool ParseWord(std::string_view text, uint16_t* value) {
  if (text.empty() || text.size() > 5) {
    return false;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) {
      return fields;
    }
    start = tab + 1;
  }
}

// One class line; reason names what is wrong (empty when the line is good).
ClassEntry ParseLine(std::string_view line, std::string* reason) {
  ClassEntry entry;
  const auto fields = SplitFields(line);
  if (fields.size() != 6) {
    *reason = "expected 6 tab-separated fields, found " + std::to_string(fields.size());
    return entry;
  }
  const auto clsid = ParseGuid(fields[0]);
  if (!clsid) {
    *reason = "bad CLSID";
    return entry;
  }
  entry.clsid = *clsid;
  entry.threadingModel = fields[1];
  entry.progId = fields[2] == "-" ? std::string() : std::string(fields[2]);
  if (fields[3] == "-" && fields[4] == "-") {
    entry.typeLibId = GUID{};
  } else if (const auto tlb = ParseGuid(fields[3])) {
    entry.typeLibId = *tlb;
    const size_t dot = fields[4].find('.');
    if (dot == std::string_view::npos ||
        !ParseWord(fields[4].substr(0, dot), &entry.typeLibMajor) ||
        !ParseWord(fields[4].substr(dot + 1), &entry.typeLibMinor)) {
      *reason = "bad type library version";
      return entry;
    }
  } else {
    *reason = "bad type library id";
    return entry;
  }
  entry.libraryPath = fields[5];
  try {
    ValidateEntry(entry);
  } catch (const RegistryError& error) {
    *reason = error.what();
  }
  return entry;
}

void CheckUnique(const std::vector<ClassEntry>& entries, const ClassEntry& entry,
                 std::string* reason) {
  for (const ClassEntry& other : entries) {
    if (other.clsid == entry.clsid) {
      *reason = "CLSID " + FormatGuid(entry.clsid) + " is listed twice";
      return;
    }
    if (!entry.progId.empty() && SameProgId(other.progId, entry.progId)) {
      *reason = "ProgID " + entry.progId + " is listed twice";
      return;
    }
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates the folder and its missing parents with the given mode (whatever the umask says):
// 0700 for a user's registry, 0755 for the machine registry that every user reads.
void MakeFolders(const std::string& folder, mode_t mode) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), mode) == 0) {
      ::chmod(part.c_str(), mode);
    } else if (errno != EEXIST) {
      Fail(REGDB_E_WRITEREGDB, "cannot create folder " + part + ": " + ErrnoText(errno));
    }
    if (slash == std::string::npos) {
      return;
    }
  }
}

// Writes the whole file aside and renames it over the registry: readers see the old or the new
// file, never a part. The folder is flushed after the rename, on a best-effort basis.
void WriteAtomically(const std::string& path, const std::string& bytes) {
  base::AtomicFile file;
  if (const int error = file.Open(path, 0644); error != 0) {
    Fail(REGDB_E_WRITEREGDB,
         "cannot create a temporary file beside " + path + ": " + ErrnoText(error));
  }
  const auto scratch = [&] { return file.TempPath().empty() ? path : file.TempPath(); };
  if (const int error = file.Write(bytes); error != 0) {
    Fail(REGDB_E_WRITEREGDB, "cannot write " + scratch() + ": " + ErrnoText(error));
  }
  if (const int error = file.Commit(false); error != 0) {
    Fail(REGDB_E_WRITEREGDB, "cannot replace " + path + ": " + ErrnoText(error));
  }
  static_cast<void>(base::SyncFolder(FolderOf(path)));
}

}  // namespace

bool SameProgId(std::string_view a, std::string_view b) {
  return base::EqualsIgnoringAsciiCase(a, b);
}

void ValidateEntry(const ClassEntry& entry) {
  if (!IsKnownThreadingModel(entry.threadingModel)) {
    Fail(E_INVALIDARG, "unknown threading model \"" + entry.threadingModel + "\"");
  }
  if (!entry.progId.empty() && !IsValidProgId(entry.progId)) {
    Fail(E_INVALIDARG, "invalid ProgID \"" + entry.progId + "\"");
  }
  if (!IsValidLibraryPath(entry.libraryPath)) {
    Fail(E_INVALIDARG, "library path is not an absolute path without control characters");
  }
}

std::string FormatRegistry(const std::vector<ClassEntry>& entries) {
  std::string text =
      "# lyrcom class registry (see docs/com-registry.md). One class per line, tab-separated:\n"
      "# CLSID, threading model, ProgID, type library id, type library version, library path.\n";
  text += kHeader;
  text += '\n';
  for (const ClassEntry& e : entries) {
    const bool hasTypeLib = !IsEqualGUID(e.typeLibId, GUID_NULL);
    text +=
        FormatGuid(e.clsid) + '\t' + e.threadingModel + '\t' + (e.progId.empty() ? "-" : e.progId) +
        '\t' + (hasTypeLib ? FormatGuid(e.typeLibId) : "-") + '\t' +
        (hasTypeLib ? std::to_string(e.typeLibMajor) + "." + std::to_string(e.typeLibMinor) : "-") +
        '\t' + e.libraryPath + '\n';
  }
  return text;
}

std::vector<ClassEntry> ParseRegistry(std::string_view text, const std::string& origin) {
  std::vector<ClassEntry> entries;
  bool headerSeen = false;
  size_t lineNumber = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    const auto fail = [&](const std::string& reason) {
      Fail(REGDB_E_READREGDB, origin + ":" + std::to_string(lineNumber) + ": " + reason);
    };
    if (line.find('\0') != std::string_view::npos) {
      fail("NUL byte in the file");
    }
    if (line.empty() || line[0] == '#') {
      continue;
    }
    if (!headerSeen) {
      if (line != kHeader) {
        fail("the file does not start with \"" + std::string(kHeader) + "\"");
      }
      headerSeen = true;
      continue;
    }
    std::string reason;
    ClassEntry entry = ParseLine(line, &reason);
    if (reason.empty()) {
      CheckUnique(entries, entry, &reason);
    }
    if (!reason.empty()) {
      fail(reason);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string RegistryPath() {
  if (const char* explicitPath = std::getenv("LYRCOM_REGISTRY");
      explicitPath != nullptr && *explicitPath != '\0') {
    return explicitPath;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    return std::string(config) + "/lyrcom/registry";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    return std::string(home) + "/.config/lyrcom/registry";
  }
  Fail(REGDB_E_READREGDB, "no class registry location: LYRCOM_REGISTRY and HOME are not set");
}

std::string MachineRegistryPath() {
  if (const char* explicitPath = std::getenv("LYRCOM_MACHINE_REGISTRY");
      explicitPath != nullptr && *explicitPath != '\0') {
    return explicitPath;
  }
  return "/etc/lyrcom/registry";
}

namespace {

// What identifies one version of the registry file.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified {};
  bool operator==(const FileIdentity& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
  }
};

FileIdentity IdentityOf(const struct stat& info) {
  return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

// File times advance in clock ticks, so a file written within a tick of being read could change
// again without a new time. Only a file unchanged for a while before it was read is cached
// (the "racily clean" rule of git's index).
bool IsSettled(const FileIdentity& identity) {
  constexpr time_t kSettleSeconds = 2;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return identity.modified.tv_sec + kSettleSeconds < now.tv_sec;
}

std::vector<ClassEntry> Load(const std::string& path, FileIdentity* identity);

}  // namespace

std::vector<ClassEntry> LoadRegistry(const std::string& path) {
  FileIdentity identity;
  return Load(path, &identity);
}

std::shared_ptr<const std::vector<ClassEntry>> CachedRegistry(const std::string& path) {
  // One slot per file: the user's registry and the machine registry (a few more when a process
  // switches LYRCOM_REGISTRY, as tests do; the oldest slot then makes room).
  struct Slot {
    std::string path;
    FileIdentity identity;
    std::shared_ptr<const std::vector<ClassEntry>> entries;
  };
  struct Cache {
    std::mutex mutex;
    std::vector<Slot> slots;
  };
  constexpr size_t kMaxSlots = 4;
  static Cache* cache = new Cache();  // lives as long as the process
  const auto find = [&]() -> Slot* {
    for (Slot& slot : cache->slots) {
      if (slot.path == path) {
        return &slot;
      }
    }
    return nullptr;
  };
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    const std::lock_guard<std::mutex> guard(cache->mutex);
    const Slot* slot = find();
    if (slot != nullptr && slot->entries != nullptr && slot->identity == IdentityOf(info)) {
      return slot->entries;
    }
  }
  FileIdentity identity;
  auto entries = std::make_shared<const std::vector<ClassEntry>>(Load(path, &identity));
  const std::lock_guard<std::mutex> guard(cache->mutex);
  Slot* slot = find();
  if (slot == nullptr) {
    if (cache->slots.size() == kMaxSlots) {
      cache->slots.erase(cache->slots.begin());
    }
    slot = &cache->slots.emplace_back(Slot{path, {}, nullptr});
  }
  slot->identity = identity;
  slot->entries = IsSettled(identity) ? entries : nullptr;
  return entries;
}

std::shared_ptr<const std::vector<ClassEntry>> ClassesInForce() {
  const std::string machinePath = MachineRegistryPath();
  std::string userPath;
  try {
    userPath = RegistryPath();
  } catch (const RegistryError&) {
    // No user location (no HOME, as for a system service): the machine registry alone.
    return CachedRegistry(machinePath);
  }
  const auto user = CachedRegistry(userPath);
  if (userPath == machinePath) {
    return user;
  }
  const auto machine = CachedRegistry(machinePath);
  if (machine->empty()) {
    return user;
  }
  // The merged list is kept while both files' cached lists are the ones it was made from.
  struct Merged {
    std::mutex mutex;
    std::shared_ptr<const std::vector<ClassEntry>> user, machine, entries;
  };
  static Merged* merged = new Merged();  // lives as long as the process
  {
    const std::lock_guard<std::mutex> guard(merged->mutex);
    if (merged->user == user && merged->machine == machine && merged->entries != nullptr) {
      return merged->entries;
    }
  }
  std::vector<ClassEntry> entries = *user;
  for (ClassEntry entry : *machine) {
    const auto listed = [&](const ClassEntry& e) { return IsEqualGUID(e.clsid, entry.clsid); };
    if (std::any_of(user->begin(), user->end(), listed)) {
      continue;
    }
    const auto holdsProgId = [&](const ClassEntry& e) {
      return SameProgId(e.progId, entry.progId);
    };
    if (!entry.progId.empty() && std::any_of(user->begin(), user->end(), holdsProgId)) {
      entry.progId.clear();
    }
    entries.push_back(std::move(entry));
  }
  auto result = std::make_shared<const std::vector<ClassEntry>>(std::move(entries));
  const std::lock_guard<std::mutex> guard(merged->mutex);
  merged->user = user;
  merged->machine = machine;
  merged->entries = result;
  return result;
}

namespace {

// Reads and parses the file, recording the identity of what was read (a missing file has the
// zero identity, which never matches a file's).
std::vector<ClassEntry> Load(const std::string& path, FileIdentity* identity) {
  // O_NONBLOCK: a FIFO planted at the path must not hang the caller.
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.Get() < 0) {
    if (errno == ENOENT) {
      return {};
    }
    Fail(REGDB_E_READREGDB, "cannot open " + path + ": " + ErrnoText(errno));
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    Fail(REGDB_E_READREGDB, path + " is not a regular file");
  }
  *identity = IdentityOf(info);
  if (static_cast<uint64_t>(info.st_size) > kMaxFileSize) {
    Fail(REGDB_E_READREGDB, path + " is larger than " + std::to_string(kMaxFileSize) + " bytes");
  }
  std::string text;
  char buffer[65536];
  while (true) {
    const ssize_t n = base::ReadSome(file.Get(), buffer, sizeof buffer);
    if (n < 0) {
      Fail(REGDB_E_READREGDB, "cannot read " + path + ": " + ErrnoText(errno));
    }
    if (n == 0) {
      break;
    }
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kMaxFileSize) {
      Fail(REGDB_E_READREGDB, path + " is larger than " + std::to_string(kMaxFileSize) + " bytes");
    }
  }
  return ParseRegistry(text, path);
}

}  // namespace

void UpdateRegistry(const std::string& path,
                    const std::function<bool(std::vector<ClassEntry>&)>& change) {
  const std::string folder = FolderOf(path);
  MakeFolders(folder, path == MachineRegistryPath() ? 0755 : 0700);
  // Writers of the same registry take turns: each reads the file only once it holds the lock.
  const UniqueFd lock(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (lock.Get() < 0) {
    Fail(REGDB_E_WRITEREGDB, "cannot open folder " + folder + ": " + ErrnoText(errno));
  }
  if (const int error = base::LockExclusive(lock.Get()); error != 0) {
    Fail(REGDB_E_WRITEREGDB, "cannot lock folder " + folder + ": " + ErrnoText(error));
  }
  std::vector<ClassEntry> entries = LoadRegistry(path);
  if (change(entries)) {
    WriteAtomically(path, FormatRegistry(entries));
  }
}

}  // namespace lyr::com
