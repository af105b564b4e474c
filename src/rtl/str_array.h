// CStrArray: the library's ordered list of (string, object) pairs, optionally owning the objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace lyr::rtl {

// What happens to an item's object when the item is removed: 0 nothing, 1 destroyed.
enum class StrArrayOwnership : uint8_t { kNone = 0, kDestroy = 1 };

// The object of one list item: its address, the type it was stored as, and how it is disposed
// of. Move-only; disposing happens exactly once, when the handle is reset or destroyed.
class StrArrayObject {
 public:
  StrArrayObject() noexcept = default;
  StrArrayObject(std::nullptr_t) noexcept {}  // NOLINT(google-explicit-constructor)
  // A reference the list does not own (ownership mode 0).
  template <typename T>
  StrArrayObject(T* object) noexcept  // NOLINT(google-explicit-constructor)
      : address_(const_cast<std::remove_cv_t<T>*>(object)) {
    SetType<T>();
  }
  // An object the list destroys with delete as T (ownership mode 1).
  template <typename T>
  StrArrayObject(std::unique_ptr<T> object) noexcept  // NOLINT(google-explicit-constructor)
      : address_(const_cast<std::remove_cv_t<T>*>(object.release())),
        kind_(StrArrayOwnership::kDestroy),
        dispose_(&DeleteAs<T>) {
    SetType<T>();
  }

  StrArrayObject(StrArrayObject&& other) noexcept { Swap(other); }
  StrArrayObject& operator=(StrArrayObject&& other) noexcept {
    StrArrayObject(std::move(other)).Swap(*this);
    return *this;
  }
  StrArrayObject(const StrArrayObject&) = delete;
  StrArrayObject& operator=(const StrArrayObject&) = delete;
  ~StrArrayObject() { Reset(); }

  // Disposes of an owned object and leaves the handle empty.
  void Reset() noexcept;

  [[nodiscard]] void* Address() const noexcept { return address_; }
  // The type the object was stored as; null for an empty handle.
  [[nodiscard]] const std::type_info* Type() const noexcept { return type_; }
  // kNone for an empty handle and for a reference the list does not own.
  [[nodiscard]] StrArrayOwnership Kind() const noexcept { return kind_; }

 private:
  template <typename T>
  void SetType() noexcept {
    type_ = address_ != nullptr ? &typeid(std::remove_cv_t<T>) : nullptr;
  }
  template <typename T>
  static void DeleteAs(void* address) noexcept {
    delete static_cast<T*>(address);
  }
  void Swap(StrArrayObject& other) noexcept;

  void* address_ = nullptr;
  const std::type_info* type_ = nullptr;
  StrArrayOwnership kind_ = StrArrayOwnership::kNone;
  void (*dispose_)(void*) noexcept = nullptr;
};

class CStrArray {
 public:
  // The count stays below this; reaching it fails with
  // "StrArray raised the maximum number of elements".
  static constexpr int32_t kMaxCount = 0x8000000;

  CStrArray() = default;
  // Disposes of every owned object, last item first.
  virtual ~CStrArray();
  CStrArray(const CStrArray&) = delete;
  CStrArray& operator=(const CStrArray&) = delete;

  // Appends an item without object; returns its index.
  int32_t Add(std::string string);
  // Appends an item holding object; returns its index. The object's ownership must match the
  // ownership mode (program check); an object that was not added is disposed of by its handle.
  int32_t AddObject(std::string string, StrArrayObject object);

  // Item access; an index outside 0..Count()-1 fails a program check.
  [[nodiscard]] const std::string& Strings(int32_t index) const;
  // The object's address (null for none); the list keeps owning it.
  [[nodiscard]] void* Objects(int32_t index) const;
  // The object as the type it was stored with; null for none. Asking for another type fails a
  // program check.
  template <typename T>
  [[nodiscard]] T* Object(int32_t index) const;

  // Disposes of the item's object and removes the item; the following items move down.
  void Delete(int32_t index);
  // The first item whose string equals string, ignoring the case of the ASCII letters; -1 when
  // absent.
  [[nodiscard]] int32_t IndexOf(std::string_view string) const;

  [[nodiscard]] int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
  // Removes every item (objects disposed of, last first).
  void Clear();

  // Clears the list, then adds every piece of text between delimiters, trimmed of surrounding
  // blanks and control characters. The piece after the last delimiter is added too, so text
  // without a delimiter (even empty text) gives one item.
  void SetDelimited(std::string_view text, char delimiter);

  [[nodiscard]] StrArrayOwnership OwnershipMode() const noexcept { return ownership_mode_; }
  // Fails a program check while any item holds an object: every stored object is disposed of as
  // the mode said when it was stored.
  void SetOwnershipMode(StrArrayOwnership mode);

 private:
  struct Item {
    std::string string;
    StrArrayObject object;
  };

  void CheckIndex(int32_t index) const;
  void* ObjectOfType(int32_t index, const std::type_info& type) const;

  std::vector<Item> items_;
  StrArrayOwnership ownership_mode_ = StrArrayOwnership::kNone;
};

template <typename T>
T* CStrArray::Object(int32_t index) const {
  return static_cast<T*>(ObjectOfType(index, typeid(std::remove_cv_t<T>)));
}

}  // namespace lyr::rtl
