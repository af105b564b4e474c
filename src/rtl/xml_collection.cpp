// CXMLCollection: writing and reading a run of elements.
#include "rtl/xml_collection.h"

#include <cstdint>

#include "rtl/errors.h"

namespace lyr::rtl {

std::string CXMLCollection::GetCollectionTag() const {
  return {};
}

void CXMLCollection::WriteTo(CXMLTextWriter& writer) {
  const std::string wrapper = GetCollectionTag();
  if (!wrapper.empty()) {
    writer.StartElement(wrapper);
  }
  for (int32_t i = 0; i < Count(); ++i) {
    XMLItem(i).Write(&writer);
  }
  if (!wrapper.empty()) {
    writer.EndElement();
  }
}

void CXMLCollection::ReadFrom(CXMLTextReader& reader) {
  const std::string wrapper = GetCollectionTag();
  const std::string item_tag = GetItemTag();
  // Reading again must not keep the items of an earlier reading.
  Clear();
  if (!wrapper.empty()) {
    reader.ReadStartElement(wrapper);
  }
  while (reader.GetCurrentElementName() == item_tag) {
    if (Count() >= MaxReadItems()) {
      RaiseTooManyItems();
    }
    Add();
    XMLItem(Count() - 1).Read(&reader);
  }
  if (!wrapper.empty()) {
    reader.SkipToStartTag();
  }
}

int32_t CXMLCollection::MaxReadItems() const {
  return INT32_MAX;
}

void CXMLCollection::RaiseTooManyItems() const {
  RaiseFmt(u8"Слишком много элементов [%s] в документе (больше %d)", GetItemTag(),
           static_cast<int64_t>(MaxReadItems()));
}

}  // namespace lyr::rtl
