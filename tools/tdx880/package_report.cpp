// What the package commands and the demo print about an open package.
#include "package_report.h"

#include <memory>
#include <optional>
#include <string>

#include "crypt/crypto_api20_exception.h"
#include "crypt/tdx880_crypto_tool.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "package/xml/subject_code_words.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/str_array.h"
#include "terminal.h"

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
  return (identifier.empty() ? std::string("(none)") : Escaped(identifier)) + " (" +
         SubjectWord(type) + ")";
}

std::string YesNo(bool value) {
  return value ? "yes" : "no";
}

// "declaration.xml" or, for an item without an original name, its content file (escaped).
std::string ItemName(const CTdx880Document& item) {
  return Escaped(item.OriginalFilename().empty() ? item.FileName() : item.OriginalFilename());
}

std::string SignerText(const CTdx880Signature& signature) {
  const crypt::CTdx880Key& key = signature.Key();
  if (key.Sha1().empty()) {
    return "signer unknown";
  }
  return "signer " + Escaped(key.SubjectCN()) + " (" + Escaped(key.Sha1()) + ")";
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
  text += "  type: " + Escaped(item->DocTypeCode()) + " " + Escaped(item->DocType()) +
          ", content type " + Escaped(item->ContentType()) + "\n";
  text += "  " + FlagsText(stored, *item, index) + "\n";
  text += "  content file: " + Escaped(item->FileName()) + ", document code " +
          Escaped(item->DocumentCode()) + "\n";
  const int32_t count = item->GetSignatureCount();
  text += Format(count == 0 ? "  signatures: %d (NOT SIGNED)\n" : "  signatures: %d\n", count);
  for (int32_t i = 0; i < count; ++i) {
    const CTdx880Doc::SignaturePtr signature = item->GetSignature(i);
    text += Format("  signature %d: %s, role %s, %s\n", i + 1, Escaped(signature->FileName()),
                   SubjectWord(signature->Role()), SignerText(*signature));
  }
  return text;
}

// "document 1 (declaration.xml)".
std::string ItemLabel(const CTdx880Document& item, int32_t index) {
  return Format("document %d (%s)", index + 1, ItemName(item));
}

// The verdict of one signature over the item's plain content, recorded in finding.
std::string Verdict(const CTdx880Doc& package, const CTdx880Document& item,
                    CTdx880Signature& signature, bool download, bool check_crl, Finding& finding) {
  finding.verdict = Finding::Verdict::kNotValid;
  try {
    const std::shared_ptr<const std::string> plain = item.PlainBytes();
    crypt::CTdx880CryptoTool().CheckSignEx(package.FlagUsageUserStorage(), *plain, check_crl,
                                           download, &signature.Signers(),
                                           signature.SignatureContent(), item.DigestsOf(plain));
    finding.verdict = Finding::Verdict::kValid;
    return "valid";
  } catch (const crypt::CCryptoAPI20Exception& error) {
    finding.code = static_cast<int32_t>(error.Code());
    finding.message = error.Message();
    return Format("NOT VALID (code %d): %s", static_cast<int32_t>(error.Code()),
                  EscapedMessage(error.Message()));
  } catch (const rtl::Exception& error) {
    finding.message = error.Message();
    return "NOT VALID: " + EscapedMessage(error.Message());
  }
}

}  // namespace

std::string PackageText(CTdx880Doc& package) {
  std::string text;
  text += "flow: " + Escaped(package.ThreadTypeCode()) + " " + Escaped(package.ThreadType()) + "\n";
  text += "transaction: " + Escaped(package.TransactTypeCode()) + " " +
          Escaped(package.TransactType()) + "\n";
  text += "thread code: " + Escaped(package.ThreadCode()) + "\n";
  text += "sender: " + Participant(package.SenderIdentifier(), package.SenderType()) + "\n";
  text += "receiver: " + Participant(package.ReceiverIdentifier(), package.ReceiverType()) + "\n";
  if (!package.SOSIdentifier().empty()) {
    text += "special operator: " + Escaped(package.SOSIdentifier()) + "\n";
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

PackageCheck DecryptPackage(CTdx880Doc& package) {
  PackageCheck check;
  const int32_t count = package.GetFileCount();
  for (int32_t i = 0; i < count; ++i) {
    const CTdx880Doc::DocumentPtr item = package.GetFile(i);
    check.stored_sizes.push_back(static_cast<int64_t>(item->Content().size()));
    if (!item->IsEncrypted()) {
      continue;
    }
    Finding& finding =
        check.findings.emplace_back(Finding{i + 1, 0, Finding::Verdict::kValid, std::nullopt, {}});
    try {
      item->Decrypt();
      check.text += ItemLabel(*item, i) + ": decrypted\n";
    } catch (const rtl::Exception& error) {
      ++check.failed;
      finding.verdict = Finding::Verdict::kNotValid;
      finding.message = error.Message();
      check.text +=
          ItemLabel(*item, i) + ": NOT DECRYPTED: " + EscapedMessage(error.Message()) + "\n";
    }
  }
  return check;
}

PackageCheck VerifyPackage(CTdx880Doc& package, bool download, bool check_crl) {
  PackageCheck check;
  const int32_t count = package.GetFileCount();
  for (int32_t i = 0; i < count; ++i) {
    const CTdx880Doc::DocumentPtr item = package.GetFile(i);
    const int32_t signatures = item->GetSignatureCount();
    if (signatures == 0) {
      ++check.unsigned_documents;
      check.unsigned_numbers.push_back(i + 1);
      check.text += ItemLabel(*item, i) + ": NOT SIGNED\n";
    }
    for (int32_t j = 0; j < signatures; ++j) {
      const CTdx880Doc::SignaturePtr signature = item->GetSignature(j);
      std::string line =
          ItemLabel(*item, i) + Format(", signature %d, ", j + 1) + SignerText(*signature) + ": ";
      Finding& finding = check.findings.emplace_back(
          Finding{i + 1, j + 1, Finding::Verdict::kValid, std::nullopt, {}});
      if (item->IsEncrypted()) {
        ++check.failed;
        finding.verdict = Finding::Verdict::kNotChecked;
        finding.message = "the document is encrypted";
        check.text += line + "NOT CHECKED: the document is encrypted\n";
        continue;
      }
      line += Verdict(package, *item, *signature, download, check_crl, finding);
      ++check.checked;
      check.failed += finding.verdict == Finding::Verdict::kValid ? 0 : 1;
      check.text += line + "\n";
    }
  }
  return check;
}

PackageVerdict JudgePackage(const PackageCheck& decryption, const PackageCheck& verification,
                            bool allow_unsigned) {
  const int32_t failed = decryption.failed + verification.failed;
  const int32_t unsigned_documents = verification.unsigned_documents;
  if (failed == 0 && (unsigned_documents == 0 || allow_unsigned)) {
    if (unsigned_documents == 0 && verification.checked > 0) {
      return {Format("result: every signature is valid (%d)\n", verification.checked), true};
    }
    if (unsigned_documents > 0) {
      const std::string signatures =
          verification.checked == 0 ? std::string("no signatures")
                                    : Format("every signature is valid (%d)", verification.checked);
      return {Format("result: %s; %d document(s) NOT SIGNED, allowed by --allow-unsigned\n",
                     signatures, unsigned_documents),
              true};
    }
    return {"result: NOT VALID: the package holds no documents\n", false};
  }
  std::string reasons;
  if (failed > 0) {
    reasons = Format("%d failure(s)", failed);
  }
  if (unsigned_documents > 0 && !allow_unsigned) {
    reasons +=
        (reasons.empty() ? "" : ", ") + Format("%d document(s) NOT SIGNED", unsigned_documents);
  }
  return {"result: NOT VALID: " + reasons + "\n", false};
}

}  // namespace lyr::tool
