// The --json objects of the key and certificate commands.
#include "store_json.h"

#include <utility>
#include <vector>

#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "crypt/tdx880_key.h"
#include "json_writer.h"
#include "rtl/errors.h"
#include "rtl/hex.h"

namespace lyr::tool {
namespace {

using crypt::CCryptoAPI20Utils;
using crypt::Certificate;

// The fields of a certificate that could not be read, with the library's messages.
using Unreadable = std::vector<std::pair<std::string_view, std::string>>;

// What read returns, or nothing (and an entry in unreadable) when it raises.
template <typename Read>
auto Readable(std::string_view field, Unreadable& unreadable, Read&& read)
    -> std::optional<decltype(read())> {
  try {
    return read();
  } catch (const rtl::Exception& error) {
    unreadable.emplace_back(field, error.Message());
    return std::nullopt;
  }
}

void WriteName(JsonWriter& json, std::string_view key,
               const std::vector<crypt::NameAttribute>& name) {
  json.Key(key).BeginArray();
  for (const crypt::NameAttribute& attribute : name) {
    json.BeginObject().Text("oid", attribute.oid).Text("value", attribute.value).EndObject();
  }
  json.EndArray();
}

void WriteBasicConstraints(JsonWriter& json,
                           const std::optional<std::optional<crypt::BasicConstraints>>& read) {
  json.Key("basic_constraints");
  if (!read || !*read) {
    json.Null();
    return;
  }
  const crypt::BasicConstraints& constraints = **read;
  json.BeginObject().Boolean("ca", constraints.ca);
  json.OptionalInteger("path_length", constraints.path_length < 0
                                          ? std::nullopt
                                          : std::optional<int64_t>(constraints.path_length));
  json.Boolean("critical", constraints.critical).EndObject();
}

// The fields of cert show beyond those of cert list.
void WriteFields(JsonWriter& json, const Certificate& certificate) {
  Unreadable unreadable;
  WriteName(json, "subject", certificate.Subject());
  WriteName(json, "issuer", certificate.Issuer());
  json.Text("serial_number", rtl::BytesToHexPlain(certificate.SerialNumber()));
  json.Text("not_before", JsonTime(certificate.NotBefore()));
  json.Text("public_key_algorithm", certificate.PublicKeyAlgorithmOid());
  json.Text("signature_algorithm", certificate.SignatureAlgorithmOid());
  WriteBasicConstraints(json, Readable("basic_constraints", unreadable,
                                       [&] { return certificate.GetBasicConstraints(); }));
  json.Boolean("self_issued", CCryptoAPI20Utils::IsSelfIssued(certificate));
  const auto urls = Readable("crl_distribution_points", unreadable,
                             [&] { return certificate.CrlDistributionUrls(); });
  json.Key("crl_distribution_points");
  if (urls) {
    json.BeginArray();
    for (const std::string& url : *urls) {
      json.String(url);
    }
    json.EndArray();
  } else {
    json.Null();
  }
  const auto ca_issuers = Readable("ca_issuers", unreadable,
                                   [&] { return CCryptoAPI20Utils::GetCAIssuersURL(certificate); });
  json.OptionalText("ca_issuers", ca_issuers && !ca_issuers->empty() ? ca_issuers : std::nullopt);
  json.Key("unreadable").BeginArray();
  for (const auto& [field, message] : unreadable) {
    json.BeginObject().Text("field", field).Text("message", message).EndObject();
  }
  json.EndArray();
}

}  // namespace

std::string_view JsonLocation(bool machine) {
  return machine ? "local_machine" : "current_user";
}

std::string KeyJson(std::string_view list, int32_t index, const crypt::CTdx880Key& key,
                    bool machine) {
  JsonWriter json;
  json.BeginObject().Text("object", "key").Text("list", list).Integer("index", index);
  json.Text("location", JsonLocation(machine)).Text("thumbprint", key.Sha1());
  json.Text("subject_cn", key.SubjectCN());
  return json.EndObject().Line();
}

std::string KeyContainerJson(int32_t index, const std::string& name, bool machine) {
  JsonWriter json;
  json.BeginObject().Text("object", "key").Text("list", "container").Integer("index", index);
  json.Text("location", JsonLocation(machine)).Text("name", name);
  return json.EndObject().Line();
}

std::string CertificateJson(const Certificate& certificate, const std::optional<std::string>& store,
                            bool machine, bool fields) {
  JsonWriter json;
  json.BeginObject().Text("object", "certificate").OptionalText("store", store);
  json.Key("location");
  if (store) {
    json.String(JsonLocation(machine));
  } else {
    json.Null();
  }
  json.Text("thumbprint", CCryptoAPI20Utils::GetSha1(certificate));
  json.OptionalText("subject_cn", certificate.SubjectCN());
  json.OptionalText("issuer_cn", certificate.IssuerCN());
  json.Text("not_after", JsonTime(certificate.NotAfter()));
  json.OptionalText("container", certificate.KeyProv()
                                     ? std::optional(certificate.KeyProv()->container_name)
                                     : std::nullopt);
  if (fields) {
    WriteFields(json, certificate);
  }
  return json.EndObject().Line();
}

std::string CrlJson(const crypt::Crl& crl, const std::string& store, bool machine) {
  JsonWriter json;
  json.BeginObject().Text("object", "crl").Text("store", store);
  json.Text("location", JsonLocation(machine)).Text("thumbprint", crl.Thumbprint());
  json.OptionalText("issuer_cn", crl.IssuerCN());
  json.Integer("revoked", static_cast<int64_t>(crl.Revoked().size()));
  json.Text("this_update", JsonTime(crl.ThisUpdate()));
  json.OptionalText("next_update", crl.NextUpdate() == 0
                                       ? std::nullopt
                                       : std::optional(JsonTime(crl.NextUpdate())));
  return json.EndObject().Line();
}

std::string ContainerJson(const std::string& name, const std::optional<Certificate>& certificate,
                          bool machine) {
  JsonWriter json;
  json.BeginObject().Text("object", "container").Text("name", name);
  json.Text("location", JsonLocation(machine));
  json.OptionalText("thumbprint",
                    certificate ? std::optional(certificate->Thumbprint()) : std::nullopt);
  json.OptionalText("subject_cn", certificate ? certificate->SubjectCN() : std::nullopt);
  return json.EndObject().Line();
}

}  // namespace lyr::tool
