// The package commands' --json objects (docs/json.md): one object per package for show, verify,
// extract and receipt.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch.h"
#include "extraction.h"
#include "package_report.h"

namespace lyr::package {
class CTdx880Doc;
}  // namespace lyr::package

namespace lyr::tool {

// Why a package failed: a stable kind ("read", "decrypt", "signature", "unsigned", "empty",
// "write", "answer", "internal"; docs/json.md says what each means) and the message (library
// text as raised, not escaped).
struct PackageError {
  std::string kind;
  std::string message;
};

// What one command found about one package. Everything but command and path is optional: what
// the command did not reach is left out.
struct PackageFacts {
  PackageFacts(std::string_view command_name, std::string package_path)
      : command(command_name), path(std::move(package_path)) {}

  std::string_view command;                             // "show", "verify", "extract", "receipt"
  std::string path;                                     // the package as given (library text)
  package::CTdx880Doc* package = nullptr;               // the package, open
  const PackageCheck* decryption = nullptr;             // its items decrypted
  const PackageCheck* verification = nullptr;           // and verified, with
  const PackageVerdict* verdict = nullptr;              // the verdict over both
  const std::vector<ExtractedFile>* written = nullptr;  // every item written, in order
  std::optional<std::string> receipt;                   // the notice of receipt saved (its path)
  std::optional<PackageError> error;                    // none: the package passed
};

// The object of facts as one JSON line (library text, for Print).
std::string PackageJson(const PackageFacts& facts);

// The error a verdict that refuses the package stands for: "decrypt" with the message of the first
// item not decrypted, "signature" with the message of the first signature not valid or not
// checked, "unsigned" or "empty" with the verdict's own text ("NOT VALID: ..."); none for a valid
// package.
std::optional<PackageError> VerdictError(const PackageCheck& decryption,
                                         const PackageCheck& verification,
                                         const PackageVerdict& verdict);

// One package judged by a batch command: an error raised while it is in a stage fails the package
// with that stage's kind.
struct Judging {
  std::string_view command;
  std::string path;  // the package as given (library text)
  bool json = false;
  std::string_view stage = "read";

  // The result of a failed package: its JSON object, or the message for standard error.
  [[nodiscard]] PackageResult Failed(PackageError error) const;
};

// Runs judge for the package argument (UTF-8) names; an error judge raises fails the package (of
// the stage's kind; "internal" for an error not of the library).
PackageResult JudgeOne(std::string_view command, const std::string& argument, bool json,
                       const std::function<PackageResult(Judging&)>& judge);

}  // namespace lyr::tool
