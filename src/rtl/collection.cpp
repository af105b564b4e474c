// CCollection: item creation and checked item access.
#include "rtl/collection.h"

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

constexpr std::string_view kUnit = "Collection";

}  // namespace

CCollection::CCollection() {
  SetOwnershipMode(StrArrayOwnership::kDestroy);
}

CBaseClass& CCollection::Add() {
  std::unique_ptr<CBaseClass> item = CreateItem();
  Assert(item != nullptr, "CreateItem returned no item", kUnit);
  CBaseClass& added = *item;
  AddObject("", std::move(item));
  return added;
}

CBaseClass& CCollection::Item(int32_t index) const {
  CBaseClass* item = Object<CBaseClass>(index);
  Assert(item != nullptr, "The collection slot holds no item", kUnit);
  return *item;
}

void CCollection::CheckItemClass(bool matches, std::source_location where) {
  Assert(matches, "The collection item is not of the requested class", kUnit, where);
}

}  // namespace lyr::rtl
