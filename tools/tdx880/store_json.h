// The --json objects of keys, cert list, cert show and container list (docs/json.md): one object
// per key, certificate, CRL or key container.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lyr::crypt {
class Certificate;
class Crl;
class CTdx880Key;
}  // namespace lyr::crypt

namespace lyr::tool {

// Where the objects come from: "current_user" or "local_machine".
std::string_view JsonLocation(bool machine);

// A key the Crypt engine lists: list is "personal" (MY) or "correspondent" (addressbook), index
// its place in that list.
std::string KeyJson(std::string_view list, int32_t index, const crypt::CTdx880Key& key,
                    bool machine);
// A key container the Crypt engine lists.
std::string KeyContainerJson(int32_t index, const std::string& name, bool machine);

// A certificate of a store (store: "MY", "ROOT", "CA", "addressbook"; none for a file). With
// fields, every field cert show prints.
std::string CertificateJson(const crypt::Certificate& certificate,
                            const std::optional<std::string>& store, bool machine, bool fields);
// A CRL of a store.
std::string CrlJson(const crypt::Crl& crl, const std::string& store, bool machine);

// A key container and the certificate it holds, when it holds one.
std::string ContainerJson(const std::string& name,
                          const std::optional<crypt::Certificate>& certificate, bool machine);

}  // namespace lyr::tool
