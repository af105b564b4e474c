// CXMLCollection: writing and reading a run of elements.
#include "rtl/xml_collection.h"

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
    Add();
    XMLItem(Count() - 1).Read(&reader);
  }
  if (!wrapper.empty()) {
    reader.SkipToStartTag();
  }
}

}  // namespace lyr::rtl
