// What the package commands and the demo print about an open package: its header, items and
// signatures, the decryption of its items and the verdict of every signature.
#pragma once

#include <cstdint>
#include <string>

namespace lyr::package {
class CTdx880Doc;
}  // namespace lyr::package

namespace lyr::tool {

// The package as "tdx880 show" prints it (windows-1251): flow, transaction, thread code,
// participants, then every item with its type, flags, names and signatures with their signers.
// package must be open.
std::string PackageText(package::CTdx880Doc& package);

// The outcome of decrypting or verifying a package, with the lines to print.
struct PackageCheck {
  std::string text;     // one line per item decrypted or signature checked (windows-1251)
  int32_t checked = 0;  // signatures checked
  int32_t failed = 0;   // items not decrypted plus signatures not valid
};

// Decrypts every encrypted item of the open package with the user's key (each item on its own,
// so one that cannot be opened does not stop the others); an item that fails counts as failed
// and its line carries the library's message.
PackageCheck DecryptPackage(package::CTdx880Doc& package);

// Verifies every signature of every plain item of the open package over the item's plain
// content, now, with the library's chain check (downloads and revocation as asked), and writes
// one verdict line per signature: "valid", or "NOT VALID" with the library's message and, for a
// chain or signature failure, its code. Signatures of items still encrypted are not checked and
// count as failed.
PackageCheck VerifyPackage(package::CTdx880Doc& package, bool download, bool check_crl);

}  // namespace lyr::tool
