// What the package commands print about an open package.
#include "package_report.h"

#include <memory>
#include <string>

#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "package/xml/subject_code_words.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/format.h"

namespace lyr::tool {
namespace {

using package::CTdx880Doc;
using package::CTdx880Document;
using package::CTdx880Signature;
using rtl::Format;

std::string SubjectWord(uint8_t code) {
  return xml::SubjectCodeToWord(code).value_or(Format("%d", code));
}

std::string Participant(const std::string& identifier, uint8_t type) {
  return (identifier.empty() ? std::string("(none)") : identifier) + " (" + SubjectWord(type) + ")";
}

std::string YesNo(bool value) {
  return value ? "yes" : "no";
}

// "declaration.xml" or, for an item without an original name, its content file.
std::string ItemName(const CTdx880Document& item) {
  return item.OriginalFilename().empty() ? item.FileName() : item.OriginalFilename();
}

// The stored form of an item: as the description read from the archive says (an opened item is
// held decompressed in memory), or as the item is now in a package not read from a file.
std::string FlagsText(const xml::CXMLGprPackage* stored, const CTdx880Document& item,
                      int32_t index) {
  if (stored != nullptr && index < stored->Documents().Count()) {
    const xml::CXMLGprDocument& entry = stored->Documents().Items(index);
    return "compressed: " + YesNo(entry.IsCompressed()) +
           ", encrypted: " + YesNo(entry.IsEncrypted());
  }
  return "compressed: " + YesNo(item.IsCompressed()) + ", encrypted: " + YesNo(item.IsEncrypted());
}

std::string ItemText(CTdx880Doc& package, const xml::CXMLGprPackage* stored, int32_t index) {
  const CTdx880Doc::DocumentPtr item = package.GetFile(index);
  std::string text = Format("document %d: %s\n", index + 1, ItemName(*item));
  text += "  type: " + item->DocTypeCode() + " " + item->DocType() + ", content type " +
          item->ContentType() + "\n";
  text += "  " + FlagsText(stored, *item, index) + "\n";
  text += "  content file: " + item->FileName() + ", document code " + item->DocumentCode() + "\n";
  const int32_t count = item->GetSignatureCount();
  text += Format("  signatures: %d\n", count);
  for (int32_t i = 0; i < count; ++i) {
    const CTdx880Doc::SignaturePtr signature = item->GetSignature(i);
    text += Format("  signature %d: %s, role %s\n", i + 1, signature->FileName(),
                   SubjectWord(signature->Role()));
  }
  return text;
}

}  // namespace

std::string PackageText(CTdx880Doc& package) {
  std::string text;
  text += "flow: " + package.ThreadTypeCode() + " " + package.ThreadType() + "\n";
  text += "transaction: " + package.TransactTypeCode() + " " + package.TransactType() + "\n";
  text += "thread code: " + package.ThreadCode() + "\n";
  text += "sender: " + Participant(package.SenderIdentifier(), package.SenderType()) + "\n";
  text += "receiver: " + Participant(package.ReceiverIdentifier(), package.ReceiverType()) + "\n";
  if (!package.SOSIdentifier().empty()) {
    text += "special operator: " + package.SOSIdentifier() + "\n";
  }
  std::unique_ptr<xml::CXMLGprPackage> stored;
  if (!package.PackageDescriptionContent().empty()) {
    stored = std::make_unique<xml::CXMLGprPackage>();
    stored->SetXML(package.PackageDescriptionContent());
    stored->Read();
  }
  const int32_t count = package.GetFileCount();
  text += Format("documents: %d\n", count);
  for (int32_t i = 0; i < count; ++i) {
    text += ItemText(package, stored.get(), i);
  }
  return text;
}

}  // namespace lyr::tool
