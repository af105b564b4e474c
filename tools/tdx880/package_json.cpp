// The package commands' --json objects.
#include "package_json.h"

#include <memory>

#include "json_writer.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "package/xml/subject_code_words.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using package::CTdx880Doc;
using package::CTdx880Document;

// "code" and "name" of a flow or transaction.
void WriteCoded(JsonWriter& json, std::string_view key, const std::string& code,
                const std::string& name) {
  json.Key(key).BeginObject().Text("code", code).Text("name", name).EndObject();
}

void WriteParticipant(JsonWriter& json, std::string_view key, const std::string& identifier,
                      uint8_t type) {
  json.Key(key).BeginObject().Text("id", identifier).Integer("type_code", type);
  json.OptionalText("type", xml::SubjectCodeToWord(type)).EndObject();
}

// The items' stored form as the description read from the archive says; none for a package
// not read from a file.
std::unique_ptr<xml::CXMLGprPackage> StoredDescription(CTdx880Doc& package) {
  if (package.PackageDescriptionContent().empty()) {
    return nullptr;
  }
  auto stored = std::make_unique<xml::CXMLGprPackage>();
  stored->SetXML(package.PackageDescriptionContent());
  stored->Read();
  return stored;
}

const char* VerdictName(Finding::Verdict verdict, bool decryption) {
  switch (verdict) {
    case Finding::Verdict::kValid:
      return decryption ? "decrypted" : "valid";
    case Finding::Verdict::kNotValid:
      return decryption ? "not_decrypted" : "not_valid";
    case Finding::Verdict::kNotChecked:
      break;
  }
  return "not_checked";
}

// The finding of a check about an item (signature 0) or one of its signatures.
const Finding* FindingOf(const PackageCheck* check, int32_t document, int32_t signature) {
  if (check != nullptr) {
    for (const Finding& finding : check->findings) {
      if (finding.document == document && finding.signature == signature) {
        return &finding;
      }
    }
  }
  return nullptr;
}

void WriteFinding(JsonWriter& json, const Finding& finding) {
  json.Text("verdict", VerdictName(finding.verdict, finding.signature == 0));
  json.OptionalInteger("code", finding.code);
  json.OptionalText("message", finding.verdict == Finding::Verdict::kValid
                                   ? std::nullopt
                                   : std::optional<std::string>(finding.message));
}

void WriteSignatures(JsonWriter& json, const CTdx880Document& item, int32_t number,
                     const PackageFacts& facts) {
  json.Key("signatures").BeginArray();
  for (int32_t i = 0; i < item.GetSignatureCount(); ++i) {
    const CTdx880Doc::SignaturePtr signature = item.GetSignature(i);
    const crypt::CTdx880Key& key = signature->Key();
    const auto known = [&](const std::string& text) {
      return key.Sha1().empty() ? std::nullopt : std::optional<std::string>(text);
    };
    json.BeginObject().Integer("number", i + 1).Text("file", signature->FileName());
    json.Integer("role_code", signature->Role());
    json.OptionalText("role", xml::SubjectCodeToWord(signature->Role()));
    json.OptionalText("signer", known(key.SubjectCN()))
        .OptionalText("thumbprint", known(key.Sha1()));
    if (const Finding* finding = FindingOf(facts.verification, number, i + 1)) {
      WriteFinding(json, *finding);
    }
    json.EndObject();
  }
  json.EndArray();
}

void WriteDocument(JsonWriter& json, const CTdx880Document& item, int32_t index,
                   const xml::CXMLGprPackage* stored, const PackageFacts& facts) {
  const int32_t number = index + 1;
  const bool from_description = stored != nullptr && index < stored->Documents().Count();
  json.BeginObject().Integer("number", number);
  json.Text("name", item.OriginalFilename()).Text("content_file", item.FileName());
  json.Text("document_code", item.DocumentCode()).Text("type_code", item.DocTypeCode());
  json.Text("type", item.DocType()).Text("content_type", item.ContentType());
  json.Boolean("compressed", from_description ? stored->Documents().Items(index).IsCompressed()
                                              : item.IsCompressed());
  json.Boolean("encrypted", from_description ? stored->Documents().Items(index).IsEncrypted()
                                             : item.IsEncrypted());
  const std::vector<int64_t>* before = facts.decryption ? &facts.decryption->stored_sizes : nullptr;
  json.Integer("stored_size", before != nullptr && index < static_cast<int32_t>(before->size())
                                  ? (*before)[static_cast<size_t>(index)]
                                  : static_cast<int64_t>(item.Content().size()));
  json.OptionalInteger(
      "size", item.IsEncrypted() ? std::nullopt : std::optional<int64_t>(item.RawContent().size()));
  if (const Finding* decryption = FindingOf(facts.decryption, number, 0)) {
    json.Key("decryption").BeginObject();
    WriteFinding(json, *decryption);
    json.EndObject();
  }
  WriteSignatures(json, item, number, facts);
  if (facts.written != nullptr && index < static_cast<int32_t>(facts.written->size())) {
    json.Text("written_to", (*facts.written)[static_cast<size_t>(index)].path);
  }
  json.EndObject();
}

void WritePackage(JsonWriter& json, CTdx880Doc& package, const PackageFacts& facts) {
  WriteCoded(json, "flow", package.ThreadTypeCode(), package.ThreadType());
  WriteCoded(json, "transaction", package.TransactTypeCode(), package.TransactType());
  json.Text("thread_code", package.ThreadCode());
  WriteParticipant(json, "sender", package.SenderIdentifier(), package.SenderType());
  WriteParticipant(json, "receiver", package.ReceiverIdentifier(), package.ReceiverType());
  const std::string sos = package.SOSIdentifier();
  json.OptionalText("special_operator", sos.empty() ? std::nullopt : std::optional(sos));
  const std::unique_ptr<xml::CXMLGprPackage> stored = StoredDescription(package);
  json.Key("documents").BeginArray();
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    WriteDocument(json, *package.GetFile(i), i, stored.get(), facts);
  }
  json.EndArray();
}

// The verdict's line without "result: " and the line end.
std::string VerdictText(const PackageVerdict& verdict) {
  constexpr std::string_view kPrefix = "result: ";
  std::string text = verdict.line.substr(0, verdict.line.find('\n'));
  if (text.starts_with(kPrefix)) {
    text.erase(0, kPrefix.size());
  }
  return text;
}

void WriteVerdict(JsonWriter& json, const PackageFacts& facts) {
  json.Boolean("valid", facts.verdict->valid).Text("result", VerdictText(*facts.verdict));
  json.Integer("checked", facts.verification->checked);
  json.Integer("failed", facts.verification->failed + facts.decryption->failed);
  json.Key("unsigned_documents").BeginArray();
  for (const int32_t number : facts.verification->unsigned_numbers) {
    json.Number(number);
  }
  json.EndArray();
}

}  // namespace

std::string PackageJson(const PackageFacts& facts) {
  JsonWriter json;
  json.BeginObject().Text("object", "package").Text("command", facts.command);
  json.Text("path", facts.path).Boolean("ok", !facts.error.has_value());
  if (facts.error) {
    json.Key("error").BeginObject().Text("kind", facts.error->kind);
    json.Text("message", facts.error->message).EndObject();
  } else {
    json.Key("error").Null();
  }
  if (facts.package != nullptr) {
    WritePackage(json, *facts.package, facts);
  }
  if (facts.verdict != nullptr && facts.verification != nullptr && facts.decryption != nullptr) {
    WriteVerdict(json, facts);
  }
  if (facts.receipt) {
    json.Text("receipt", *facts.receipt);
  }
  return json.EndObject().Line();
}

std::optional<PackageError> VerdictError(const PackageCheck& decryption,
                                         const PackageCheck& verification,
                                         const PackageVerdict& verdict) {
  if (verdict.valid) {
    return std::nullopt;
  }
  for (const auto& [check, kind] :
       {std::pair(&decryption, "decrypt"), std::pair(&verification, "signature")}) {
    for (const Finding& finding : check->findings) {
      if (finding.verdict != Finding::Verdict::kValid) {
        return PackageError{kind, finding.message};
      }
    }
  }
  return PackageError{verification.unsigned_documents > 0 ? "unsigned" : "empty",
                      VerdictText(verdict)};
}

PackageResult Judging::Failed(PackageError error) const {
  if (json) {
    PackageFacts facts(command, path);
    facts.error = std::move(error);
    return {PackageJson(facts), "", false};
  }
  return {"", EscapedMessage(error.message) + "\n", false};
}

PackageResult JudgeOne(std::string_view command, const std::string& argument, bool json,
                       const std::function<PackageResult(Judging&)>& judge) {
  Judging judging{command, FromTerminal(argument), json};
  try {
    return judge(judging);
  } catch (const rtl::Exception& error) {
    return judging.Failed({std::string(judging.stage), error.Message()});
  } catch (const std::exception& error) {
    return judging.Failed({"internal", rtl::Utf8ToAnsi(std::string_view(error.what()))});
  }
}

}  // namespace lyr::tool
