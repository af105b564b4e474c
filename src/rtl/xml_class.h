// CXMLClass: base of every object that writes itself to and reads itself from XML.
#pragma once

#include <memory>
#include <string>

#include "rtl/base_class.h"
#include "rtl/xml_text_reader.h"
#include "rtl/xml_text_writer.h"

namespace lyr::rtl {

// An object bound to XML. A subclass writes its element(s) in WriteTo and reads them back, in the
// same order, in ReadFrom. Each object has a writer and a reader of its own; a parent hands its
// writer or reader to the children it contains.
class CXMLClass : public CBaseClass {
 public:
  CXMLClass();
  ~CXMLClass() override;
  CXMLClass(const CXMLClass&) = delete;
  CXMLClass& operator=(const CXMLClass&) = delete;

  // Guarded. WriteTo with writer, or with the object's own writer when writer is null.
  void Write(CXMLTextWriter* writer = nullptr);
  // Guarded. ReadFrom with reader, or with the object's own reader when reader is null.
  void Read(CXMLTextReader* reader = nullptr);

  // The object's XML text (windows-1251): resets the own writer, writes, and returns its text.
  [[nodiscard]] std::string GetXML();
  // Clears the own reader and loads text into it (fragments allowed); Read then reads the object
  // from it.
  void SetXML(std::string text);
  // SetXML for a whole document from outside (CXMLTextReader::SetDocument): a text that is not
  // one well-formed document fails with the reader's message.
  void SetDocument(std::string text);
  // Writes GetXML into file_name, a file that does not exist yet, through the mapped-file write.
  // An empty text writes nothing.
  void SaveToFile(const std::string& file_name);

  [[nodiscard]] CXMLTextWriter& OwnWriter();
  [[nodiscard]] CXMLTextReader& OwnReader();

 protected:
  virtual void WriteTo(CXMLTextWriter& writer) = 0;
  virtual void ReadFrom(CXMLTextReader& reader) = 0;

 private:
  // Made on first use: most objects are children that only ever use their parent's.
  std::unique_ptr<CXMLTextWriter> writer_;
  std::unique_ptr<CXMLTextReader> reader_;
};

}  // namespace lyr::rtl
