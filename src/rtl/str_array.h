// CStrArray: the library's ordered list of (string, object) pairs with sort, comparison,
// duplicate and ownership modes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace lyr::rtl {

class CStrArray;

// 0 unsorted; 1 kept sorted by string (string comparer); 2 kept sorted by object (object comparer).
enum class StrArraySort : uint8_t { kUnsorted = 0, kByString = 1, kByObject = 2 };

// Selects the string comparer:
// 0 ordinal, ignoring the case of the ASCII letters a..z only (they compare as A..Z);
// 1 ordinal, case-sensitive (unsigned bytes);
// 2 locale order ignoring case; 3 locale order, case-sensitive.
// The locale order is a fixed windows-1251 collation, the same on every machine: characters
// compare by Unicode code point, except that Ё/ё sort right after Е/е; ignoring case folds
// Latin and Cyrillic capitals (Ё, Ђ..Џ, Ґ included) to small letters. The case-sensitive locale
// order compares as the ignore-case order first and breaks ties at the first difference of case,
// small letter first ("a" < "B" < "b").
enum class StrArrayComparison : uint8_t {
  kOrdinalIgnoreCase = 0,
  kOrdinal = 1,
  kLocaleIgnoreCase = 2,
  kLocale = 3
};

// What an add operation does when an equal item exists (0 accept, 1 ignore, 2 error).
enum class StrArrayDuplicates : uint8_t { kAccept = 0, kIgnore = 1, kError = 2 };

// What happens to an item's object when the item is removed: 0 nothing, 1 destroyed, 2 freed as a
// raw memory block, 3 released as a reference-counted interface.
enum class StrArrayOwnership : uint8_t { kNone = 0, kDestroy = 1, kFree = 2, kRelease = 3 };

// Deleter of blocks from std::malloc; objects a list frees as raw memory are handed over in a
// MemoryPtr.
struct FreeMemory {
  void operator()(void* block) const noexcept { std::free(block); }
};
template <typename T>
using MemoryPtr = std::unique_ptr<T, FreeMemory>;

// A type with a Release() member (a reference-counted interface).
template <typename T>
concept ReferenceCounted = requires(T& object) {
  object.Release();
};

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
  // A memory block the list frees with std::free (ownership mode 2).
  template <typename T>
  StrArrayObject(MemoryPtr<T> block) noexcept  // NOLINT(google-explicit-constructor)
      : address_(const_cast<std::remove_cv_t<T>*>(block.release())),
        kind_(StrArrayOwnership::kFree),
        dispose_(&FreeBlock) {
    SetType<T>();
  }
  // Takes over one reference of a reference-counted object; the list calls Release() once
  // (ownership mode 3).
  template <ReferenceCounted T>
  static StrArrayObject AdoptReference(T* object) noexcept {
    StrArrayObject result(object);
    if (object != nullptr) {
      result.kind_ = StrArrayOwnership::kRelease;
      result.dispose_ = &ReleaseAs<T>;
    }
    return result;
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
  template <typename T>
  static void ReleaseAs(void* address) noexcept {
    static_cast<T*>(address)->Release();
  }
  static void FreeBlock(void* address) noexcept { std::free(address); }
  void Swap(StrArrayObject& other) noexcept;

  void* address_ = nullptr;
  const std::type_info* type_ = nullptr;
  StrArrayOwnership kind_ = StrArrayOwnership::kNone;
  void (*dispose_)(void*) noexcept = nullptr;
};

class CStrArray {
 public:
  // Compares a key object with an item's object (sort mode 2 and IndexOfObject); the sign counts.
  using ObjectComparer =
      std::function<int32_t(const CStrArray& list, const void* key, const void* object)>;
  // Compares a key with an item's string; the sign counts.
  using StringComparer = std::function<int32_t(std::string_view key, std::string_view item)>;
  // Called before an item's object slot is released, with the object (null for an empty slot)
  // and the item's index.
  using DeleteEvent = std::function<void(CStrArray& list, void* object, int32_t index)>;

  // Count and capacity stay below this; reaching it fails with
  // "StrArray raised the maximum number of elements".
  static constexpr int32_t kMaxCount = 0x8000000;

  // All modes 0, separator "=", no items.
  CStrArray();
  // Releases every object (on-delete event, then disposal), last item first.
  virtual ~CStrArray();
  CStrArray(const CStrArray&) = delete;
  CStrArray& operator=(const CStrArray&) = delete;

  // Appends (sort mode 0) or inserts at the sorted place (sort mode 1) an item without object.
  // In sort mode 1 an equal string is a duplicate: duplicates mode 1 returns its index without
  // adding, mode 2 fails with "StrArray Error: Duplicate identificator [%s]". Sort mode 2 fails a
  // program check. Returns the item's index.
  int32_t Add(std::string string);

  // Adds an item and stores object in it (the on-delete event sees the new, empty slot first).
  // Duplicates are tested by string in sort mode 1 and by object in sort mode 2 (not at all in
  // sort mode 0); on a duplicate, duplicates mode 1 returns -1 without adding and mode 2 fails
  // with "StrArray Error: Duplicate identificator [%s]" (the string, or the existing item's
  // index). An object that was not added is disposed of by its handle, so an owned object is
  // never leaked. The object's ownership must match the ownership mode (program check).
  int32_t AddObject(std::string string, StrArrayObject object);

  // Item access; an index outside 0..Count()-1 fails a program check.
  [[nodiscard]] const std::string& Strings(int32_t index) const;
  // The object's address (null for none); the list keeps owning it.
  [[nodiscard]] void* Objects(int32_t index) const;
  // The object as the type it was stored with; null for none. Asking for another type fails a
  // program check.
  template <typename T>
  [[nodiscard]] T* Object(int32_t index) const;

  // Releases the old object of the item (on-delete event, then disposal) and stores object.
  // Bounds check; sort mode 2 fails a program check; ownership as for AddObject.
  virtual void PutObject(int32_t index, StrArrayObject object);

  // Releases the item's object and removes the item; the following items move down.
  void Delete(int32_t index);

  // Sort mode 1: binary search (recording the insertion index); otherwise a linear search with
  // the string comparer. -1 when absent.
  [[nodiscard]] int32_t IndexOf(std::string_view string) const;
  // Sort mode 2: binary search (recording the insertion index); otherwise a linear search with
  // the object comparer. -1 when absent.
  [[nodiscard]] int32_t IndexOfObject(const void* object) const;

  [[nodiscard]] int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
  // A negative count fails a program check; shrinking releases the removed items' objects (last
  // first); growing adds empty items and extends the capacity.
  void SetCount(int32_t count);
  [[nodiscard]] int32_t Capacity() const noexcept { return capacity_; }
  // A capacity below the count fails a program check; at or above kMaxCount it fails with
  // "StrArray raised the maximum number of elements".
  void SetCapacity(int32_t capacity);
  // Removes every item (objects released, last first); count and capacity 0.
  void Clear();

  // The strings, each followed by CR LF.
  [[nodiscard]] std::string GetText() const;
  // The strings joined by separator.
  [[nodiscard]] std::string GetDelimited(std::string_view separator) const;
  // Clears the list, then adds (with Add) every piece of text between delimiters, trimmed of
  // surrounding blanks and control characters. The piece after the last delimiter is added too,
  // so text without a delimiter (even empty text) gives one item.
  void SetDelimited(std::string_view text, char delimiter);

  // Writes GetText at the current position of the open file descriptor; with truncate, a file
  // longer than the text is first cut to the text's length. Fails with the OS error.
  virtual void SaveToStream(int fd, bool truncate);
  // Creates or replaces the file (windows-1251 path) with GetText, written aside and moved into
  // place, so a failure leaves an existing file as it was. Fails with the OS error.
  virtual void SaveToFile(const std::string& file_name);

  // Where the last binary search would insert (the count when above every item).
  [[nodiscard]] int32_t InsertionIndex() const noexcept { return insertion_index_; }

  [[nodiscard]] StrArraySort SortMode() const noexcept { return sort_mode_; }
  // Existing items are not reordered.
  void SetSortMode(StrArraySort mode) noexcept { sort_mode_ = mode; }
  [[nodiscard]] StrArrayComparison ComparisonMode() const noexcept { return comparison_mode_; }
  // Also replaces the string comparer with the mode's one.
  void SetComparisonMode(StrArrayComparison mode);
  [[nodiscard]] StrArrayDuplicates DuplicatesMode() const noexcept { return duplicates_mode_; }
  void SetDuplicatesMode(StrArrayDuplicates mode) noexcept { duplicates_mode_ = mode; }
  [[nodiscard]] StrArrayOwnership OwnershipMode() const noexcept { return ownership_mode_; }
  // Fails a program check while any item holds an object: every stored object is disposed of as
  // the mode said when it was stored.
  void SetOwnershipMode(StrArrayOwnership mode);

  [[nodiscard]] char NameValueSeparator() const noexcept { return name_value_separator_; }
  void SetNameValueSeparator(char separator) noexcept { name_value_separator_ = separator; }

  // An empty comparer restores the default (three-way comparison of the addresses).
  void SetObjectComparer(ObjectComparer comparer);
  // An empty comparer restores the one of the comparison mode.
  void SetStringComparer(StringComparer comparer);
  void SetOnDelete(DeleteEvent event) { on_delete_ = std::move(event); }

  // The comparers of the comparison modes (see StrArrayComparison); results -1, 0 or 1.
  static int32_t CompareOrdinalIgnoreCase(std::string_view key, std::string_view item) noexcept;
  static int32_t CompareOrdinal(std::string_view key, std::string_view item) noexcept;
  static int32_t CompareLocaleIgnoreCase(std::string_view key, std::string_view item) noexcept;
  static int32_t CompareLocale(std::string_view key, std::string_view item) noexcept;

 protected:
  // Extends the capacity by 4 below 4, by 8 below 8, else by 16 (0 -> 4 -> 12 -> 28 -> 44).
  virtual void Grow();

 private:
  struct Item {
    std::string string;
    StrArrayObject object;
  };

  void CheckIndex(int32_t index) const;
  void CheckOwnership(const StrArrayObject& object) const;
  // Binary searches; they record the insertion index.
  int32_t FindString(std::string_view string) const;
  int32_t FindObject(const void* object) const;
  template <typename Compare>
  int32_t BinarySearch(Compare compare) const;
  int32_t Insert(int32_t index, std::string string);
  // On-delete event, then disposal of the slot's object.
  void ReleaseObject(int32_t index);
  void StoreObject(int32_t index, StrArrayObject object);
  void* ObjectOfType(int32_t index, const std::type_info& type) const;

  std::vector<std::unique_ptr<Item>> items_;
  int32_t capacity_ = 0;
  mutable int32_t insertion_index_ = 0;
  char name_value_separator_ = '=';
  StrArraySort sort_mode_ = StrArraySort::kUnsorted;
  StrArrayComparison comparison_mode_ = StrArrayComparison::kOrdinalIgnoreCase;
  StrArrayDuplicates duplicates_mode_ = StrArrayDuplicates::kAccept;
  StrArrayOwnership ownership_mode_ = StrArrayOwnership::kNone;
  ObjectComparer object_comparer_;
  StringComparer string_comparer_;
  DeleteEvent on_delete_;
};

template <typename T>
T* CStrArray::Object(int32_t index) const {
  return static_cast<T*>(ObjectOfType(index, typeid(std::remove_cv_t<T>)));
}

}  // namespace lyr::rtl
