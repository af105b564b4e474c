// tdx880 description: shows what the library reads from a package description, or writes it
// back as the library would store it.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "package/xml/subject_code_words.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using rtl::Format;

std::string CodeText(uint8_t code) {
  const std::optional<std::string> word = xml::SubjectCodeToWord(code);
  return Format("%d (%s)", code, word ? *word : std::string("-"));
}

std::string SubjectText(const xml::CXMLGprSubject& subject) {
  if (subject.SubjectIdentifier().empty()) {
    return "(none)";
  }
  return subject.SubjectIdentifier() + ", type " + CodeText(subject.SubjectCode());
}

std::string YesNo(bool value) {
  return value ? "true" : "false";
}

std::string DocumentText(const xml::CXMLGprDocument& document, int32_t number) {
  std::string text = Format("document %d:\n", number);
  text += "  type: " + document.DocumentTypeCode() + " " + document.DocumentType() + "\n";
  text += "  content type: " + document.ContentType() + "\n";
  text += "  compressed: " + YesNo(document.IsCompressed()) + "\n";
  text += "  encrypted: " + YesNo(document.IsEncrypted()) + "\n";
  text += "  document code: " + document.DocumentCode() + "\n";
  text += "  original file name: " + document.OriginalFilename() + "\n";
  text += "  content file: " + document.FileName() + "\n";
  const xml::CXMLGprSignatureCollection& signatures = document.Signatures();
  text += Format("  signatures: %d\n", signatures.Count());
  for (int32_t i = 0; i < signatures.Count(); ++i) {
    const xml::CXMLGprSignature& signature = signatures.Items(i);
    text += Format("  signature %d: %s, role %s\n", i + 1, signature.FileName(),
                   CodeText(signature.Role()));
  }
  return text;
}

std::string PackageText(const xml::CXMLGprPackage& package) {
  std::string text;
  text += "flow: " + package.ThreadTypeCode() + " " + package.ThreadType() + "\n";
  text += "transaction: " + package.TransactTypeCode() + " " + package.TransactType() + "\n";
  text += "thread code: " + package.ThreadCode() + "\n";
  text += "program version: " + package.ProgVersion() + "\n";
  text += "sender: " + SubjectText(package.Sender()) + "\n";
  text += "special operator: " + SubjectText(package.SpecialOperator()) + "\n";
  text += "receiver: " + SubjectText(package.Receiver()) + "\n";
  const xml::CXMLGprDocumentCollection& documents = package.Documents();
  text += Format("documents: %d\n", documents.Count());
  for (int32_t i = 0; i < documents.Count(); ++i) {
    text += DocumentText(documents.Items(i), i + 1);
  }
  return text;
}

// description [--rewrite] FILE
int RunDescription(const Arguments& arguments) {
  const bool rewrite = arguments.size() == 2 && arguments[0] == "--rewrite";
  if (arguments.size() != 1 && !rewrite) {
    std::fputs("usage: tdx880 description [--rewrite] FILE\n", stderr);
    return kUsageError;
  }
  xml::CXMLGprPackage package;
  try {
    package.SetXML(rtl::LoadFileToString(FromTerminal(arguments.back())));
    package.Read();
    if (rewrite) {
      PrintBytes(package.GetXML());
    } else {
      Print(PackageText(package));
    }
  } catch (const rtl::Exception& error) {
    PrintError(error.Message() + "\n");
    return 1;
  }
  return 0;
}

}  // namespace

std::vector<Command> DescriptionCommands() {
  return {{"description", "[--rewrite] FILE",
           "read a package description (packageDescription.xml) and show what the library "
           "understood; with --rewrite, write it back to standard output as the library stores "
           "it (windows-1251); on a reading failure the library's message goes to standard error "
           "and the exit status is 1",
           &RunDescription}};
}

}  // namespace lyr::tool
