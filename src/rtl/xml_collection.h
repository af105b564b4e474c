// CXMLCollection: a collection of like XML objects written and read as a run of elements.
#pragma once

#include <string>

#include "rtl/collection.h"
#include "rtl/xml_class.h"
#include "rtl/xml_text_reader.h"
#include "rtl/xml_text_writer.h"

namespace lyr::rtl {

// The items (CXMLClass objects made by CreateItem) are written one after the other, optionally
// inside a wrapper element, and read back while the current element carries the item tag.
class CXMLCollection : public CCollection {
 public:
  // The wrapper element's name; empty (the default) for no wrapper.
  [[nodiscard]] virtual std::string GetCollectionTag() const;
  // The element name of one item.
  [[nodiscard]] virtual std::string GetItemTag() const = 0;

  // The item at index as an XML object (program checks as CCollection::Item).
  [[nodiscard]] CXMLClass& XMLItem(int32_t index) const { return Item<CXMLClass>(index); }

  // The wrapper's start tag (if any), every item in index order, the wrapper's end tag.
  void WriteTo(CXMLTextWriter& writer);
  // Replaces the items with those read: consumes the wrapper's start tag (if any), then reads an
  // item while the current element's name is exactly the item tag, then (with a wrapper) moves
  // to the next start tag. Reading stops at the first element of another name. A document with
  // more than MaxReadItems() items fails through RaiseTooManyItems before the next item is made.
  void ReadFrom(CXMLTextReader& reader);

 protected:
  // The most items a document read from outside may hold (no bound by default), and the failure
  // for a document with more.
  [[nodiscard]] virtual int32_t MaxReadItems() const;
  [[noreturn]] virtual void RaiseTooManyItems() const;
};

}  // namespace lyr::rtl
