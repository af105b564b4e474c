// CCollection: a string array that owns child objects made by its CreateItem; CTypedCollection
// gives typed access for collections of one item class.
#pragma once

#include <cstdint>
#include <memory>
#include <source_location>

#include "rtl/base_class.h"
#include "rtl/str_array.h"

namespace lyr::rtl {

// Items are CBaseClass objects owned by the collection (ownership mode 1), stored with an empty
// string unless the caller names them.
class CCollection : public CStrArray {
 public:
  CCollection();

  // Makes a new item with CreateItem and appends it with an empty string. Returns the item, which
  // the collection owns. CreateItem returning nothing fails a program check.
  CBaseClass& Add();

  // The item at index; bounds check as Strings. A slot without an item (one added by
  // CStrArray::AddObject without an object) fails a program check.
  [[nodiscard]] CBaseClass& Item(int32_t index) const;
  // The item as T; an item of another class fails a program check.
  template <typename T>
  [[nodiscard]] T& Item(int32_t index) const;

 protected:
  // Returns a new item object; the collection takes it over.
  virtual std::unique_ptr<CBaseClass> CreateItem() = 0;

  // Fails a program check "The collection item is not of the requested class" unless matches.
  static void CheckItemClass(bool matches,
                             std::source_location where = std::source_location::current());
};

template <typename T>
T& CCollection::Item(int32_t index) const {
  auto* item = dynamic_cast<T*>(&Item(index));
  CheckItemClass(item != nullptr);
  return *item;
}

// A collection of T items (T derives from CBaseClass and is default-constructible unless
// CreateItem is overridden) over the collection class Base (CCollection or a descendant).
template <typename T, typename Base = CCollection>
class CTypedCollection : public Base {
 public:
  // Makes, appends and returns a new T item.
  T& Add() { return ItemAs(Base::Add()); }
  // The item at index as T (program checks as CCollection::Item).
  [[nodiscard]] T& Items(int32_t index) const { return Base::template Item<T>(index); }

 protected:
  std::unique_ptr<CBaseClass> CreateItem() override { return std::make_unique<T>(); }

 private:
  static T& ItemAs(CBaseClass& item) {
    auto* typed = dynamic_cast<T*>(&item);
    Base::CheckItemClass(typed != nullptr);
    return *typed;
  }
};

}  // namespace lyr::rtl
