// What the package commands and the demo print about an open package: its header, items and
// signatures, the decryption of its items and the verdict of every signature.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lyr::package {
class CTdx880Doc;
}  // namespace lyr::package

namespace lyr::tool {

// The package as "tdx880 show" prints it (windows-1251): flow, transaction, thread code,
// participants, then every item with its type, flags, names and signatures with their signers.
// package must be open.
std::string PackageText(package::CTdx880Doc& package);

// Text that came from the package (names, codes, identifiers, signers, the library's messages)
// is escaped (Escaped of terminal.h) wherever these functions put it into a line.

// What a check found for one item (a decryption) or one signature (a verification).
struct Finding {
  enum class Verdict { kValid, kNotValid, kNotChecked };
  int32_t document = 0;               // the item's number, from 1
  int32_t signature = 0;              // the signature's number, from 1; 0 for a decryption
  Verdict verdict = Verdict::kValid;  // kValid: decrypted or valid; kNotValid: not decrypted or
                                      // not valid; kNotChecked: a signature of an encrypted item
  std::optional<int32_t> code;  // the chain or signature failure's code (CCryptoAPI20Exception)
  std::string message;          // the library's message of a failure, as raised (not escaped)
};

// The outcome of decrypting or verifying a package, with the lines to print.
struct PackageCheck {
  std::string text;     // one line per item decrypted, signature checked or item unsigned
  int32_t checked = 0;  // signatures checked
  int32_t failed = 0;   // items not decrypted plus signatures not valid or not checked
  int32_t unsigned_documents = 0;         // items without any signature
  std::vector<Finding> findings;          // one per item decrypted or signature met, in order
  std::vector<int32_t> unsigned_numbers;  // the numbers of the items without any signature
  std::vector<int64_t> stored_sizes;      // decryption: every item's stored size before it
};

// The last line of "tdx880 verify" and whether it accepts the package.
struct PackageVerdict {
  std::string line;
  bool valid = false;
};

// Decrypts every encrypted item of the open package with the user's key (each item on its own,
// so one that cannot be opened does not stop the others); an item that fails counts as failed
// and its line carries the library's message.
PackageCheck DecryptPackage(package::CTdx880Doc& package);

// Verifies every signature of every plain item of the open package over the item's plain
// content, now, with the library's chain check (downloads and revocation as asked), and writes
// one verdict line per signature: "valid", or "NOT VALID" with the library's message and, for a
// chain or signature failure, its code. Signatures of items still encrypted are not checked and
// count as failed. An item without signatures gets the line "document N (name): NOT SIGNED" and
// counts as unsigned.
PackageCheck VerifyPackage(package::CTdx880Doc& package, bool download, bool check_crl);

// The verdict over a package's decryption and verification: valid when every item was decrypted
// and every signature is valid, and every item is signed (or allow_unsigned is set). The line is
// "result: every signature is valid (N)" when every item is signed and valid; with unsigned items
// allowed "result: every signature is valid (N); U document(s) NOT SIGNED, allowed by
// --allow-unsigned" ("no signatures" instead when there are none); otherwise "result: NOT VALID: "
// and "F failure(s)" and/or "U document(s) NOT SIGNED", or "the package holds no documents".
PackageVerdict JudgePackage(const PackageCheck& decryption, const PackageCheck& verification,
                            bool allow_unsigned);

}  // namespace lyr::tool
