// CXMLClass: serialisation of bound objects to text and files.
#include "rtl/xml_class.h"

#include <cstdint>
#include <limits>

#include "rtl/errors.h"
#include "rtl/whole_file.h"

namespace lyr::rtl {

CXMLClass::CXMLClass() = default;

CXMLClass::~CXMLClass() = default;

void CXMLClass::Write(CXMLTextWriter* writer) {
  Guarded([&] { WriteTo(writer != nullptr ? *writer : OwnWriter()); });
}

void CXMLClass::Read(CXMLTextReader* reader) {
  Guarded([&] { ReadFrom(reader != nullptr ? *reader : OwnReader()); });
}

std::string CXMLClass::GetXML() {
  CXMLTextWriter& writer = OwnWriter();
  writer.Reset();
  Write(&writer);
  return writer.GetXML();
}

void CXMLClass::SetXML(std::string text) {
  CXMLTextReader& reader = OwnReader();
  reader.Clear();
  reader.SetXML(std::move(text));
}

void CXMLClass::SetDocument(std::string text) {
  CXMLTextReader& reader = OwnReader();
  reader.Clear();
  reader.SetDocument(std::move(text));
}

void CXMLClass::SaveToFile(const std::string& file_name) {
  const std::string text = GetXML();
  if (text.empty()) {
    return;
  }
  if (text.size() > std::numeric_limits<uint32_t>::max()) {
    RaiseFmt(u8"Файл слишком велик!");
  }
  WriteBufferToFile(file_name, text.data(), static_cast<uint32_t>(text.size()));
}

CXMLTextWriter& CXMLClass::OwnWriter() {
  if (!writer_) {
    writer_ = std::make_unique<CXMLTextWriter>();
  }
  return *writer_;
}

CXMLTextReader& CXMLClass::OwnReader() {
  if (!reader_) {
    reader_ = std::make_unique<CXMLTextReader>();
  }
  return *reader_;
}

}  // namespace lyr::rtl
