// Fuzz entry: bytes to the XML reader, walked as the document classes walk a document, and read as
// a package description (written back and read again) and as a declaration description.
#include <cstdint>
#include <string>

#include "package/xml/xml_gpr_dekl_description.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "rtl/xml_text_reader.h"

namespace {

using lyr::rtl::CXMLTextReader;

template <typename Read>
void Try(Read&& read) {
  try {
    read();
  } catch (const lyr::rtl::Exception&) {
  }
}

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
  Try([&] {
    CXMLTextReader reader;
    reader.SetXML(text);
    Walk(reader);
    reader.SetXML(text);
    reader.FindElement(lyr::rtl::Msg(u8"ТрансИнф"));
  });
  Try([&] {  // the strict reading of a whole document, as a package's description is read
    CXMLTextReader strict;
    strict.SetDocument(text);
    Walk(strict);
  });
  Try([&] {
    lyr::xml::CXMLGprPackage package;
    package.SetXML(text);
    package.Read();
    lyr::xml::CXMLGprPackage reread;
    reread.SetXML(package.GetXML());
    reread.Read();
  });
  Try([&] {
    lyr::xml::CXMLGprDeklDescription description;
    description.SetXML(text);
    description.Read();
    (void)description.GetXML();
  });
  return 0;
}
