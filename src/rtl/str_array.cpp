// CStrArray: storage, search and the delimited-text reader.
#include "rtl/str_array.h"

#include <algorithm>
#include <utility>

#include "base/ascii.h"
#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

constexpr std::string_view kUnit = "StrArray";

bool IsBlank(char c) noexcept {
  return static_cast<unsigned char>(c) <= ' ';
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

CStrArray::~CStrArray() {
  Clear();
}

int32_t CStrArray::Add(std::string string) {
  return AddObject(std::move(string), nullptr);
}

int32_t CStrArray::AddObject(std::string string, StrArrayObject object) {
  Assert(object.Address() == nullptr || object.Kind() == ownership_mode_,
         "The object's ownership does not match the StrArray's ownership mode", kUnit);
  if (Count() + 1 >= kMaxCount) {
    Raise("StrArray raised the maximum number of elements");
  }
  items_.push_back(Item{std::move(string), std::move(object)});
  return Count() - 1;
}

const std::string& CStrArray::Strings(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].string;
}

void* CStrArray::Objects(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object.Address();
}

void CStrArray::Delete(int32_t index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

int32_t CStrArray::IndexOf(std::string_view string) const {
  for (int32_t index = 0; index < Count(); ++index) {
    if (base::EqualsIgnoringAsciiCase(string, items_[static_cast<size_t>(index)].string)) {
      return index;
    }
  }
  return -1;
}

void CStrArray::Clear() {
  while (!items_.empty()) {
    items_.pop_back();
  }
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

void CStrArray::SetOwnershipMode(StrArrayOwnership mode) {
  const bool holds_objects = std::any_of(items_.begin(), items_.end(),
                                         [](const Item& item) { return item.object.Address(); });
  Assert(mode == ownership_mode_ || !holds_objects,
         "The ownership mode of a StrArray holding objects cannot change", kUnit);
  ownership_mode_ = mode;
}

void CStrArray::CheckIndex(int32_t index) const {
  Assert(index >= 0 && index < Count(), "The index parameter raised StrArray's bounds", kUnit);
}

void* CStrArray::ObjectOfType(int32_t index, const std::type_info& type) const {
  CheckIndex(index);
  const StrArrayObject& object = items_[static_cast<size_t>(index)].object;
  Assert(object.Address() == nullptr || *object.Type() == type,
         "The object of the StrArray item is not of the requested type", kUnit);
  return object.Address();
}

}  // namespace lyr::rtl
