// Fuzz entry: arbitrary bytes handed to the XML reader, walked as the document classes walk a
// document, and read as a package description and as a declaration description. Every failure
// must be one of the reader's or the setters' errors; nothing may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/xml/xml_gpr_dekl_description.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "rtl/xml_text_reader.h"

namespace {

using lyr::rtl::CXMLTextReader;

// Walks every start tag, reading attributes and element values on the way.
void Walk(CXMLTextReader& reader) {
  for (int steps = 0; steps < 100'000 && reader.CurrentKind() != lyr::rtl::TXMLTokenKind::EndOfData;
       ++steps) {
    const std::string name = reader.GetCurrentElementName();
    (void)reader.ReadAttribute("a");
    (void)reader.ReadBoolAttribute(name);
    try {
      (void)reader.ReadElementValue(name);
    } catch (const lyr::rtl::Exception&) {
      reader.ReadStartElement("");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CXMLTextReader reader;
  try {
    reader.SetXML(text);
    Walk(reader);
    reader.SetXML(text);
    reader.FindElement(lyr::rtl::Msg(u8"ТрансИнф"));
  } catch (const lyr::rtl::Exception&) {
    // A reader's error: the expected outcome for most inputs.
  }
  try {
    // The strict reading of a whole document, as a package's description is read.
    CXMLTextReader strict;
    strict.SetDocument(text);
    Walk(strict);
  } catch (const lyr::rtl::Exception&) {
  }
  lyr::xml::CXMLGprPackage package;
  try {
    package.SetXML(text);
    package.Read();
    // What was read must write back (or fail with a message) and read back the same way.
    const std::string again = package.GetXML();
    lyr::xml::CXMLGprPackage reread;
    reread.SetXML(again);
    reread.Read();
  } catch (const lyr::rtl::Exception&) {
  }
  lyr::xml::CXMLGprDeklDescription description;
  try {
    description.SetXML(text);
    description.Read();
    (void)description.GetXML();
  } catch (const lyr::rtl::Exception&) {
  }
  return 0;
}
