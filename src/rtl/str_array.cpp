// CStrArray: storage, searches, add/delete operations, comparers, text and file output.
#include "rtl/str_array.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iterator>
#include <utility>

#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "rtl/whole_file.h"

namespace lyr::rtl {
namespace {

constexpr std::string_view kUnit = "StrArray";

// Collation weights of windows-1251 bytes for the locale comparers. The primary weight ignores
// case: capitals fold to small letters, and the code point is doubled so that Ё/ё (U+0401/U+0451)
// can take the odd slot right after Е/е. The case weight is 1 for capitals, 0 otherwise.
struct Collation {
  std::array<uint32_t, 256> primary{};
  std::array<uint8_t, 256> upper{};
};

char32_t FoldToSmall(char32_t cp) noexcept {
  if ((cp >= U'A' && cp <= U'Z') || (cp >= 0x0410 && cp <= 0x042F)) {
    return cp + 0x20;
  }
  if (cp >= 0x0400 && cp <= 0x040F) {
    return cp + 0x50;
  }
  if (cp == 0x0490) {
    return 0x0491;
  }
  return cp;
}

Collation MakeCollation() noexcept {
  Collation table;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const char32_t cp = AnsiCharToCodePoint(static_cast<unsigned char>(byte));
    const char32_t small = FoldToSmall(cp);
    table.upper[byte] = small != cp ? 1 : 0;
    table.primary[byte] = small == 0x0451 ? 0x0435 * 2 + 1 : static_cast<uint32_t>(small) * 2;
  }
  return table;
}

const Collation& LocaleCollation() noexcept {
  static const Collation table = MakeCollation();
  return table;
}

int32_t Sign(int64_t value) noexcept {
  return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

unsigned char Byte(char c) noexcept {
  return static_cast<unsigned char>(c);
}

unsigned char AsciiUpper(unsigned char c) noexcept {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 0x20) : c;
}

// Lexicographic comparison of two strings through a per-byte key; a prefix sorts first.
template <typename Key>
int32_t CompareBy(std::string_view key, std::string_view item, Key byte_key) noexcept {
  const size_t common = std::min(key.size(), item.size());
  for (size_t i = 0; i < common; ++i) {
    const int64_t a = byte_key(Byte(key[i]));
    const int64_t b = byte_key(Byte(item[i]));
    if (a != b) {
      return Sign(a - b);
    }
  }
  return Sign(static_cast<int64_t>(key.size()) - static_cast<int64_t>(item.size()));
}

int32_t CompareAddresses(const CStrArray& /*list*/, const void* key, const void* object) {
  const std::less<const void*> less;
  return less(key, object) ? -1 : (less(object, key) ? 1 : 0);
}

CStrArray::StringComparer ComparerOf(StrArrayComparison mode) {
  switch (mode) {
    case StrArrayComparison::kOrdinalIgnoreCase:
      return &CStrArray::CompareOrdinalIgnoreCase;
    case StrArrayComparison::kOrdinal:
      return &CStrArray::CompareOrdinal;
    case StrArrayComparison::kLocaleIgnoreCase:
      return &CStrArray::CompareLocaleIgnoreCase;
    case StrArrayComparison::kLocale:
      return &CStrArray::CompareLocale;
  }
  return &CStrArray::CompareOrdinalIgnoreCase;
}

bool IsBlank(char c) noexcept {
  return Byte(c) <= ' ';
}

std::string_view Trimmed(std::string_view piece) noexcept {
  while (!piece.empty() && IsBlank(piece.front())) {
    piece.remove_prefix(1);
  }
  while (!piece.empty() && IsBlank(piece.back())) {
    piece.remove_suffix(1);
  }
  return piece;
}

void WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      RaiseLastOSError();
    }
    data.remove_prefix(static_cast<size_t>(written));
  }
}

}  // namespace

void StrArrayObject::Reset() noexcept {
  if (dispose_ != nullptr && address_ != nullptr) {
    dispose_(address_);
  }
  address_ = nullptr;
  type_ = nullptr;
  kind_ = StrArrayOwnership::kNone;
  dispose_ = nullptr;
}

void StrArrayObject::Swap(StrArrayObject& other) noexcept {
  std::swap(address_, other.address_);
  std::swap(type_, other.type_);
  std::swap(kind_, other.kind_);
  std::swap(dispose_, other.dispose_);
}

CStrArray::CStrArray()
    : object_comparer_(&CompareAddresses), string_comparer_(ComparerOf(comparison_mode_)) {}

// The destructor cannot pass errors on: an on-delete event that fails is skipped, and the object
// is disposed of all the same.
CStrArray::~CStrArray() {
  for (auto index = Count() - 1; index >= 0; --index) {
    try {
      ReleaseObject(index);
    } catch (...) {
      items_[static_cast<size_t>(index)]->object.Reset();
    }
  }
}

int32_t CStrArray::Add(std::string string) {
  Assert(sort_mode_ != StrArraySort::kByObject, "Incorrect attempt to add in the sorted StrArray",
         kUnit);
  if (sort_mode_ == StrArraySort::kUnsorted) {
    return Insert(Count(), std::move(string));
  }
  const int32_t found = FindString(string);
  if (found >= 0) {
    if (duplicates_mode_ == StrArrayDuplicates::kIgnore) {
      return found;
    }
    if (duplicates_mode_ == StrArrayDuplicates::kError) {
      Raise(Format("StrArray Error: Duplicate identificator [%s]", string));
    }
  }
  return Insert(insertion_index_, std::move(string));
}

int32_t CStrArray::AddObject(std::string string, StrArrayObject object) {
  CheckOwnership(object);
  int32_t found = -1;
  if (sort_mode_ == StrArraySort::kByString) {
    found = FindString(string);
  } else if (sort_mode_ == StrArraySort::kByObject) {
    found = FindObject(object.Address());
  } else {
    insertion_index_ = Count();
  }
  if (found >= 0) {
    if (duplicates_mode_ == StrArrayDuplicates::kIgnore) {
      return -1;
    }
    if (duplicates_mode_ == StrArrayDuplicates::kError) {
      Raise(Format("StrArray Error: Duplicate identificator [%s]",
                   sort_mode_ == StrArraySort::kByString ? string : Format("%d", found)));
    }
  }
  const int32_t index = Insert(insertion_index_, std::move(string));
  try {
    StoreObject(index, std::move(object));
  } catch (...) {
    items_.erase(items_.begin() + index);  // the on-delete event refused: no item is added
    throw;
  }
  return index;
}

const std::string& CStrArray::Strings(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)]->string;
}

void* CStrArray::Objects(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)]->object.Address();
}

void CStrArray::PutObject(int32_t index, StrArrayObject object) {
  CheckIndex(index);
  Assert(sort_mode_ != StrArraySort::kByObject, "Incorrect attempt to add in the sorted StrArray",
         kUnit);
  CheckOwnership(object);
  StoreObject(index, std::move(object));
}

void CStrArray::Delete(int32_t index) {
  CheckIndex(index);
  ReleaseObject(index);
  items_.erase(items_.begin() + index);
}

int32_t CStrArray::IndexOf(std::string_view string) const {
  if (sort_mode_ == StrArraySort::kByString) {
    return FindString(string);
  }
  for (int32_t index = 0; index < Count(); ++index) {
    if (string_comparer_(string, items_[static_cast<size_t>(index)]->string) == 0) {
      return index;
    }
  }
  return -1;
}

int32_t CStrArray::IndexOfObject(const void* object) const {
  if (sort_mode_ == StrArraySort::kByObject) {
    return FindObject(object);
  }
  for (int32_t index = 0; index < Count(); ++index) {
    if (object_comparer_(*this, object, items_[static_cast<size_t>(index)]->object.Address()) ==
        0) {
      return index;
    }
  }
  return -1;
}

void CStrArray::SetCount(int32_t count) {
  if (count < 0) {
    Assert(false,
           Format(Msg(u8"Невозможно установить отрицательное число элементов в массиве (%0:d)!"),
                  count),
           kUnit);
  }
  if (count > capacity_) {
    SetCapacity(count);
  }
  while (Count() > count) {
    ReleaseObject(Count() - 1);
    items_.pop_back();
  }
  while (Count() < count) {
    items_.push_back(std::make_unique<Item>());
  }
}

void CStrArray::SetCapacity(int32_t capacity) {
  Assert(capacity >= Count(), "The capacity parameter raised StrArray's bounds", kUnit);
  if (capacity >= kMaxCount) {
    Raise("StrArray raised the maximum number of elements");
  }
  // The capacity is the list's own figure (Grow adds 4, 8 or 16); the storage behind it grows at
  // least geometrically, so that appending n items costs O(n) and not O(n^2 / 16) moves.
  const auto wanted = static_cast<size_t>(capacity);
  if (wanted > items_.capacity()) {
    items_.reserve(std::max(wanted, items_.capacity() * 2));
  } else if (wanted < items_.capacity() / 2) {
    std::vector<std::unique_ptr<Item>> resized;
    resized.reserve(wanted);
    std::move(items_.begin(), items_.end(), std::back_inserter(resized));
    items_.swap(resized);
  }
  capacity_ = capacity;
}

void CStrArray::Clear() {
  SetCount(0);
  SetCapacity(0);
}

std::string CStrArray::GetText() const {
  std::string text;
  for (const auto& item : items_) {
    text += item->string;
    text += "\r\n";
  }
  return text;
}

std::string CStrArray::GetDelimited(std::string_view separator) const {
  std::string text;
  for (size_t index = 0; index < items_.size(); ++index) {
    if (index > 0) {
      text += separator;
    }
    text += items_[index]->string;
  }
  return text;
}

void CStrArray::SetDelimited(std::string_view text, char delimiter) {
  Clear();
  for (;;) {
    const size_t end = text.find(delimiter);
    Add(std::string(Trimmed(text.substr(0, end))));
    if (end == std::string_view::npos) {
      break;
    }
    text.remove_prefix(end + 1);
  }
}

void CStrArray::SaveToStream(int fd, bool truncate) {
  const std::string text = GetText();
  if (truncate) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
      RaiseLastOSError();
    }
    if (status.st_size > static_cast<off_t>(text.size()) &&
        ::ftruncate(fd, static_cast<off_t>(text.size())) != 0) {
      RaiseLastOSError();
    }
  }
  WriteAll(fd, text);
}

// Written aside and moved into place: a failure leaves an existing file as it was.
void CStrArray::SaveToFile(const std::string& file_name) {
  WriteStringToFile(file_name, GetText());
}

void CStrArray::SetComparisonMode(StrArrayComparison mode) {
  comparison_mode_ = mode;
  string_comparer_ = ComparerOf(mode);
}

void CStrArray::SetOwnershipMode(StrArrayOwnership mode) {
  const bool holds_objects = std::any_of(items_.begin(), items_.end(), [](const auto& item) {
    return item->object.Address() != nullptr;
  });
  Assert(mode == ownership_mode_ || !holds_objects,
         "The ownership mode of a StrArray holding objects cannot change", kUnit);
  ownership_mode_ = mode;
}

void CStrArray::SetObjectComparer(ObjectComparer comparer) {
  object_comparer_ = comparer ? std::move(comparer) : ObjectComparer(&CompareAddresses);
}

void CStrArray::SetStringComparer(StringComparer comparer) {
  string_comparer_ = comparer ? std::move(comparer) : ComparerOf(comparison_mode_);
}

int32_t CStrArray::CompareOrdinalIgnoreCase(std::string_view key, std::string_view item) noexcept {
  return CompareBy(key, item, AsciiUpper);
}

int32_t CStrArray::CompareOrdinal(std::string_view key, std::string_view item) noexcept {
  return CompareBy(key, item, [](unsigned char c) { return c; });
}

int32_t CStrArray::CompareLocaleIgnoreCase(std::string_view key, std::string_view item) noexcept {
  const Collation& collation = LocaleCollation();
  return CompareBy(key, item, [&](unsigned char c) { return collation.primary[c]; });
}

int32_t CStrArray::CompareLocale(std::string_view key, std::string_view item) noexcept {
  const int32_t primary = CompareLocaleIgnoreCase(key, item);
  if (primary != 0) {
    return primary;
  }
  // Same length and same letters: the first difference of case decides, small letter first.
  const Collation& collation = LocaleCollation();
  return CompareBy(key, item, [&](unsigned char c) { return collation.upper[c]; });
}

void CStrArray::Grow() {
  int32_t delta = 16;
  if (capacity_ < 4) {
    delta = 4;
  } else if (capacity_ < 8) {
    delta = 8;
  }
  SetCapacity(capacity_ + delta);
}

void CStrArray::CheckIndex(int32_t index) const {
  Assert(index >= 0 && index < Count(), "The index parameter raised StrArray's bounds", kUnit);
}

void CStrArray::CheckOwnership(const StrArrayObject& object) const {
  Assert(object.Address() == nullptr || object.Kind() == ownership_mode_,
         "The object's ownership does not match the StrArray's ownership mode", kUnit);
}

// A probe that compares equal ends the search; a key not above the probe records the probe as
// the insertion index (so an equal key is inserted before its twin and the order holds) and the
// search continues below it; otherwise it continues above it.
template <typename Compare>
int32_t CStrArray::BinarySearch(Compare compare) const {
  insertion_index_ = Count();
  int32_t low = 0;
  int32_t high = Count() - 1;
  while (low <= high) {
    const int32_t probe = low + (high - low) / 2;
    const int32_t result = compare(*items_[static_cast<size_t>(probe)]);
    if (result < 1) {
      insertion_index_ = probe;
    }
    if (result == 0) {
      return probe;
    }
    if (result < 0) {
      high = probe - 1;
    } else {
      low = probe + 1;
    }
  }
  return -1;
}

int32_t CStrArray::FindString(std::string_view string) const {
  return BinarySearch([&](const Item& item) { return string_comparer_(string, item.string); });
}

int32_t CStrArray::FindObject(const void* object) const {
  return BinarySearch(
      [&](const Item& item) { return object_comparer_(*this, object, item.object.Address()); });
}

int32_t CStrArray::Insert(int32_t index, std::string string) {
  if (Count() == capacity_) {
    Grow();
  }
  auto item = std::make_unique<Item>();
  item->string = std::move(string);
  items_.insert(items_.begin() + index, std::move(item));
  return index;
}

void CStrArray::ReleaseObject(int32_t index) {
  StrArrayObject& object = items_[static_cast<size_t>(index)]->object;
  if (on_delete_) {
    on_delete_(*this, object.Address(), index);
  }
  object.Reset();
}

void CStrArray::StoreObject(int32_t index, StrArrayObject object) {
  ReleaseObject(index);
  items_[static_cast<size_t>(index)]->object = std::move(object);
}

void* CStrArray::ObjectOfType(int32_t index, const std::type_info& type) const {
  CheckIndex(index);
  const StrArrayObject& object = items_[static_cast<size_t>(index)]->object;
  Assert(object.Address() == nullptr || *object.Type() == type,
         "The object of the StrArray item is not of the requested type", kUnit);
  return object.Address();
}

}  // namespace lyr::rtl
