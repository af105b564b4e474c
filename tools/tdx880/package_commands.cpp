// tdx880 pack|show|verify|extract: building a transport package from files, showing what it
// holds, verifying its signatures and writing its documents out, each over the package container.
#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "command.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
#include "crypt_options.h"
#include "extraction.h"
#include "options.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package_json.h"
#include "package_report.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "rtl/whole_file.h"
#include "signal_cleanup.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using package::CTdx880Doc;
using rtl::Format;

constexpr std::string_view kPackUsage =
    "pack --flow CODE --transaction CODE --sender ID --receiver ID [--sos ID] "
    "--doc CODE:CONTENT-TYPE:FILE... [--sign THUMBPRINT [FILE...]]... "
    "[--encrypt-for THUMBPRINT | --encrypt-cert CERT] [--cipher NAME] [-o DIR|FILE] [--machine]";
constexpr std::string_view kShowUsage = "show PACKAGE... [--jobs N] [--json] [--quiet]";
constexpr std::string_view kVerifyUsage =
    "verify PACKAGE... [--allow-unsigned] [--no-download] [--no-crl] [--machine] [--jobs N] "
    "[--json] [--quiet]";
constexpr std::string_view kExtractUsage =
    "extract PACKAGE... -o DIR [--allow-unsigned | --no-verify] [--no-download] [--no-crl] "
    "[--machine] [--jobs N] [--json] [--quiet]";

// One --doc: a document type code, a content type and the file holding the document.
struct DocumentSpec {
  std::string code;
  std::string content_type;
  std::string path;  // as given (UTF-8)
};

// One --sign: the signer's thumbprint and the documents it signs (none: every document).
struct SignSpec {
  std::string thumbprint;
  std::vector<std::string> files;  // as given (UTF-8)
};

struct PackOptions {
  std::map<std::string, std::string> values;  // single options -> value (UTF-8)
  std::vector<DocumentSpec> documents;
  std::vector<SignSpec> signers;
  bool machine = false;

  [[nodiscard]] std::string Value(const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
  }
};

// CODE:CONTENT-TYPE:FILE; the file name may hold further colons.
std::optional<DocumentSpec> ParseDocument(const std::string& text) {
  const size_t first = text.find(':');
  const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos || first == 0 || second == first + 1 ||
      second + 1 == text.size()) {
    return std::nullopt;
  }
  return DocumentSpec{text.substr(0, first), text.substr(first + 1, second - first - 1),
                      text.substr(second + 1)};
}

// The options of pack: --doc and --sign may repeat, --sign takes a thumbprint and then the file
// names up to the next option. Nothing when they are wrong.
std::optional<PackOptions> ParsePack(const Arguments& arguments) {
  static const std::set<std::string> kSingle = {"--flow",         "--transaction", "--sender",
                                                "--receiver",     "--sos",         "--encrypt-for",
                                                "--encrypt-cert", "--cipher",      "-o"};
  PackOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool has_value = i + 1 < arguments.size();
    if (argument == "--machine" && !options.machine) {
      options.machine = true;
    } else if (kSingle.contains(argument) && has_value && !options.values.contains(argument)) {
      options.values[argument] = arguments[++i];
    } else if (argument == "--doc" && has_value) {
      const std::optional<DocumentSpec> document = ParseDocument(arguments[++i]);
      if (!document) {
        return std::nullopt;
      }
      options.documents.push_back(*document);
    } else if (argument == "--sign" && has_value) {
      SignSpec signer{arguments[++i], {}};
      while (i + 1 < arguments.size() && !arguments[i + 1].starts_with("-")) {
        signer.files.push_back(arguments[++i]);
      }
      options.signers.push_back(signer);
    } else {
      return std::nullopt;
    }
  }
  for (const char* required : {"--flow", "--transaction", "--sender", "--receiver"}) {
    if (!options.values.contains(required)) {
      return std::nullopt;
    }
  }
  if (options.documents.empty() ||
      (options.values.contains("--encrypt-for") && options.values.contains("--encrypt-cert"))) {
    return std::nullopt;
  }
  return options;
}

// A thumbprint from the command line as the stores compare it; raises when it is none.
std::string ThumbprintOf(const std::string& text) {
  const std::optional<std::string> thumbprint = NormalThumbprint(text);
  if (!thumbprint) {
    throw rtl::Exception("not a SHA-1 thumbprint (40 hexadecimal digits): " +
                         Escaped(FromTerminal(text)));
  }
  return *thumbprint;
}

// Signs the documents of one --sign with the personal key of that thumbprint.
void SignDocuments(CTdx880Doc& package, const SignSpec& signer, bool user_storage) {
  crypt::CTdx880Crypt crypt;
  crypt.Init(user_storage);
  crypt::CTdx880Key key;
  crypt.GetPrivateKeyBySha1(ThumbprintOf(signer.thumbprint), &key);
  std::vector<std::string> names;
  for (const std::string& file : signer.files) {
    names.push_back(rtl::FileNamePart(FromTerminal(file)));
  }
  if (names.empty()) {
    for (int32_t i = 0; i < package.GetFileCount(); ++i) {
      names.push_back(package.GetFile(i)->OriginalFilename());
    }
  }
  for (const std::string& name : names) {
    package.SignFile(name, &key);
  }
}

void EncryptPackage(CTdx880Doc& package, const PackOptions& options) {
  package.Config().SetEnvelopeCipher(ContentCipherOf(options.Value("--cipher")));
  if (options.values.contains("--encrypt-for")) {
    crypt::CTdx880Key key;
    key.SetSha1(ThumbprintOf(options.Value("--encrypt-for")));
    package.Encrypt(&key);
  } else if (options.values.contains("--encrypt-cert")) {
    package.EncryptByCertificate(
        rtl::LoadFileToString(FromTerminal(options.Value("--encrypt-cert"))));
  }
}

// Saves into the folder -o names (an existing one, or one written with a trailing "/"), under
// the file name -o names, or into the current folder.
void SavePackage(CTdx880Doc& package, const std::string& output) {
  const std::string target = FromTerminal(output);
  if (target.empty()) {
    package.Save(package::ExpandPackagePath(""));
  } else if (rtl::DirectoryExists(target) || target.ends_with('/')) {
    if (!rtl::ForceDirectories(target)) {
      throw rtl::Exception("cannot create the folder " + Escaped(target));
    }
    package.Save(target);
  } else {
    package.SaveAs(target);
  }
}

// A package whose working folder lies in a private folder of the tool, so that a signal which
// stops the tool removes the package's plain files with it.
struct ToolPackage {
  TempWorkspace workspace;
  CTdx880Doc package;

  explicit ToolPackage(bool machine) {
    package.SetTmpDir(workspace.Path());
    package.SetFlagUsageUserStorage(!machine);
  }
};

int RunPack(const Arguments& arguments) {
  const std::optional<PackOptions> options = ParsePack(arguments);
  if (!options) {
    return UsageError(kPackUsage);
  }
  ToolPackage tool_package(options->machine);
  CTdx880Doc& package = tool_package.package;
  package.New(FromTerminal(options->Value("--flow")),
              FromTerminal(options->Value("--transaction")));
  package.SetSenderIdentifier(FromTerminal(options->Value("--sender")));
  package.SetReceiverIdentifier(FromTerminal(options->Value("--receiver")));
  if (options->values.contains("--sos")) {
    package.SetSOSIdentifier(FromTerminal(options->Value("--sos")));
  }
  for (const DocumentSpec& document : options->documents) {
    const std::string path = FromTerminal(document.path);
    package.AddFile(FromTerminal(document.code), FromTerminal(document.content_type), path,
                    rtl::LoadFileToString(path));
  }
  for (const SignSpec& signer : options->signers) {
    SignDocuments(package, signer, !options->machine);
  }
  EncryptPackage(package, *options);
  SavePackage(package, options->Value("-o"));
  Print(Escaped(package.FileName()) + "\n");
  return 0;
}

// The package the command line names, opened; its working folder lies in the command's private
// folder (one for every package of a batch).
struct OpenedPackage {
  CTdx880Doc package;

  OpenedPackage(const TempWorkspace& workspace, const std::string& path, bool machine) {
    package.SetTmpDir(workspace.Path());
    package.SetFlagUsageUserStorage(!machine);
    package.Open(path);
  }
};

// The batch of a command's options; nothing when they are wrong.
std::optional<Batch> BatchOfOptions(const std::optional<Options>& options) {
  return options ? BatchOf(*options) : std::nullopt;
}

// The GOST engine held for the whole batch when it can be loaded (a package that needs it reports
// the engine's error itself).
std::optional<crypt::CryptoRuntime> EngineForBatch() {
  try {
    return std::make_optional<crypt::CryptoRuntime>();
  } catch (const rtl::Exception&) {
    return std::nullopt;
  }
}

PackageResult ShowOne(const std::string& argument, const TempWorkspace& workspace, bool json) {
  return JudgeOne("show", argument, json, [&](Judging& judging) -> PackageResult {
    OpenedPackage opened(workspace, judging.path, false);
    if (json) {
      PackageFacts facts("show", judging.path);
      facts.package = &opened.package;
      return {PackageJson(facts), "", true};
    }
    return {"package: " + Escaped(opened.package.FileName()) + "\n" + PackageText(opened.package),
            "", true};
  });
}

int RunShow(const Arguments& arguments) {
  const std::optional<Batch> batch =
      BatchOfOptions(ParseOptions(arguments, {"--jobs"}, {"--json", "--quiet"}));
  if (!batch) {
    return UsageError(kShowUsage);
  }
  const TempWorkspace workspace;
  return RunBatch(*batch,
                  [&](const std::string& path) { return ShowOne(path, workspace, batch->json); });
}

// How verify and extract check a package.
struct CheckSettings {
  bool allow_unsigned = false;
  bool download = true;
  bool check_crl = true;
  bool machine = false;
  bool json = false;

  explicit CheckSettings(const Options& options)
      : allow_unsigned(options.Has("--allow-unsigned")),
        download(!options.Has("--no-download")),
        check_crl(!options.Has("--no-crl")),
        machine(options.Has("--machine")),
        json(options.Has("--json")) {}
};

PackageResult VerifyOne(const std::string& argument, const TempWorkspace& workspace,
                        const CheckSettings& settings) {
  return JudgeOne("verify", argument, settings.json, [&](Judging& judging) -> PackageResult {
    OpenedPackage opened(workspace, judging.path, settings.machine);
    judging.stage = "internal";
    const PackageCheck decryption = DecryptPackage(opened.package);
    const PackageCheck verification =
        VerifyPackage(opened.package, settings.download, settings.check_crl);
    const PackageVerdict verdict = JudgePackage(decryption, verification, settings.allow_unsigned);
    if (settings.json) {
      PackageFacts facts("verify", judging.path);
      facts.package = &opened.package;
      facts.decryption = &decryption;
      facts.verification = &verification;
      facts.verdict = &verdict;
      facts.error = VerdictError(decryption, verification, verdict);
      return {PackageJson(facts), "", verdict.valid};
    }
    return {decryption.text + verification.text + verdict.line, "", verdict.valid};
  });
}

int RunVerify(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(
      arguments, {"--jobs"},
      {"--allow-unsigned", "--no-download", "--no-crl", "--machine", "--json", "--quiet"});
  const std::optional<Batch> batch = BatchOfOptions(options);
  if (!batch) {
    return UsageError(kVerifyUsage);
  }
  const CheckSettings settings(*options);
  const std::optional<crypt::CryptoRuntime> engine = EngineForBatch();
  const TempWorkspace workspace;
  return RunBatch(*batch,
                  [&](const std::string& path) { return VerifyOne(path, workspace, settings); });
}

// The file name a document is written under: the name part of its original name (a package
// comes from strangers: "../x" or "/etc/x" become "x"), or its content file's name when it has
// none. Raises when nothing usable is left ("", ".", ".."), when the name holds a control
// character, and when it is longer than a file name may be. A name that differs from the original
// one adds a line to notes.
std::string ExtractName(const package::CTdx880Document& item, int32_t index, std::string& notes) {
  const std::string original = item.OriginalFilename();
  const std::string name = rtl::FileNamePart(original.empty() ? item.FileName() : original);
  if (name.empty() || name == "." || name == ".." ||
      std::any_of(name.begin(), name.end(), IsControlCharacter)) {
    throw rtl::Exception(Format("document %d: the original name \"%s\" names no file", index + 1,
                                Escaped(original)));
  }
  const size_t bytes = rtl::NativePath(name).size();
  if (bytes > NAME_MAX) {
    throw rtl::Exception(
        Format("document %d: the name \"%s\" is too long for a file (%d bytes, at most %d)",
               index + 1, Escaped(name), static_cast<int64_t>(bytes), NAME_MAX));
  }
  if (name != original && !original.empty()) {
    notes += Format("tdx880: document %d: the original name \"%s\" is written as \"%s\"\n",
                    index + 1, Escaped(original), Escaped(name));
  }
  return name;
}

// True when something (a file, a folder or a link, even a dangling one) has that path.
bool PathTaken(const std::string& path) {
  struct stat st {};
  return ::lstat(rtl::NativePath(path).c_str(), &st) == 0;
}

// The names every document of the package is written under in folder (ending in "/"), each
// checked before anything is written: a refused name, a path too long, two documents of one name
// or a path already taken stop the extraction. Renamed documents add their lines to notes.
std::vector<ExtractedName> PlanExtraction(CTdx880Doc& package, const std::string& folder,
                                          std::string& notes) {
  std::vector<ExtractedName> plan;
  std::set<std::string> names;
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    const std::string name = ExtractName(*package.GetFile(i), i, notes);
    const std::string target = folder + name;
    const size_t bytes = rtl::NativePath(target).size();
    if (bytes >= PATH_MAX) {
      throw rtl::Exception(Format("document %d: the path %s is too long (%d bytes, at most %d)",
                                  i + 1, Escaped(target), static_cast<int64_t>(bytes),
                                  PATH_MAX - 1));
    }
    if (!names.insert(name).second || PathTaken(target)) {
      throw rtl::Exception(
          Format("document %d: %s exists already; nothing was written", i + 1, Escaped(target)));
    }
    plan.push_back({i + 1, name});
  }
  return plan;
}

// What extract says about a written document's signatures.
std::string SignatureState(const package::CTdx880Document& item, bool verified) {
  if (item.GetSignatureCount() == 0) {
    return "NOT SIGNED";
  }
  return verified ? "signature(s) valid" : "signature(s) not checked";
}

// How extract writes a package's documents.
struct ExtractSettings : CheckSettings {
  bool verify = true;
  std::string folder;  // library text, ending in "/"

  explicit ExtractSettings(const Options& options)
      : CheckSettings(options),
        verify(!options.Has("--no-verify")),
        folder(rtl::IncludeTrailingBackslash(FromTerminal(options.Value("-o")))) {}
};

PackageResult ExtractOne(const std::string& argument, const TempWorkspace& workspace,
                         const ExtractSettings& settings) {
  return JudgeOne("extract", argument, settings.json, [&](Judging& judging) -> PackageResult {
    OpenedPackage opened(workspace, judging.path, settings.machine);
    CTdx880Doc& package = opened.package;
    PackageFacts facts("extract", judging.path);
    facts.package = &package;
    const auto result = [&](std::string out, std::string err) -> PackageResult {
      if (settings.json) {
        return {PackageJson(facts), "", !facts.error};
      }
      return {std::move(out), std::move(err), !facts.error};
    };
    judging.stage = "internal";
    const PackageCheck decryption = DecryptPackage(package);
    facts.decryption = &decryption;
    if (decryption.failed > 0) {
      facts.error = VerdictError(decryption, PackageCheck{}, PackageVerdict{});
      return result("", decryption.text);
    }
    const PackageCheck verification =
        settings.verify ? VerifyPackage(package, settings.download, settings.check_crl)
                        : PackageCheck{};
    const PackageVerdict verdict = JudgePackage(decryption, verification, settings.allow_unsigned);
    if (settings.verify) {
      facts.verification = &verification;
      facts.verdict = &verdict;
      facts.error = VerdictError(decryption, verification, verdict);
      if (!verdict.valid) {
        return result("", verification.text + verdict.line + "nothing was written\n");
      }
    }
    judging.stage = "write";
    std::string notes;
    const std::vector<ExtractedName> plan = PlanExtraction(package, settings.folder, notes);
    const std::vector<ExtractedFile> files = WriteAllOrNothing(
        settings.folder, plan,
        [&](size_t i) { return package.GetFile(static_cast<int32_t>(i))->PlainContent(); });
    facts.written = &files;
    std::string text;
    for (size_t i = 0; i < files.size(); ++i) {
      text += Format("%s (%d bytes): %s\n", Escaped(files[i].path), files[i].size,
                     SignatureState(*package.GetFile(static_cast<int32_t>(i)), settings.verify));
    }
    return result(text, notes);
  });
}

// The folder extract writes many packages into, made before the first package when missing and
// removed at the end (or when a signal stops the tool) when it is still empty, so that packages
// written at once never make and remove it under each other.
class SharedFolder final {
 public:
  explicit SharedFolder(const std::string& folder)
      : folder_(folder),
        made_(!rtl::DirectoryExists(folder)),
        cleanup_([this] { RemoveIfEmpty(); }) {
    if (!rtl::ForceDirectories(folder_)) {
      throw rtl::Exception("cannot create the folder " + Escaped(folder_));
    }
  }
  ~SharedFolder() { RemoveIfEmpty(); }
  SharedFolder(const SharedFolder&) = delete;
  SharedFolder& operator=(const SharedFolder&) = delete;

 private:
  void RemoveIfEmpty() noexcept {
    if (made_) {
      ::rmdir(rtl::NativePath(folder_).c_str());
    }
  }
  std::string folder_;
  bool made_;
  CleanupOnSignal cleanup_;
};

int RunExtract(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {"-o", "--jobs"},
                   {"--allow-unsigned", "--no-verify", "--no-download", "--no-crl", "--machine",
                    "--json", "--quiet"});
  const std::optional<Batch> batch = BatchOfOptions(options);
  if (!batch || !options->Has("-o") ||
      (options->Has("--no-verify") && options->Has("--allow-unsigned"))) {
    return UsageError(kExtractUsage);
  }
  const ExtractSettings settings(*options);
  const std::optional<crypt::CryptoRuntime> engine = EngineForBatch();
  const TempWorkspace workspace;
  std::optional<SharedFolder> shared;
  if (batch->many) {
    shared.emplace(settings.folder);
  }
  return RunBatch(*batch,
                  [&](const std::string& path) { return ExtractOne(path, workspace, settings); });
}

}  // namespace

std::vector<Command> PackageCommands() {
  return {
      {"pack", kPackUsage.substr(std::string_view("pack ").size()),
       "build a package of a flow and transaction: add each document (type code, content type, "
       "file), sign documents (all, or those named) with the personal certificate of a "
       "thumbprint, encrypt the types that require it for a certificate of addressbook or a "
       "certificate file, and save it into DIR under its generated name, as FILE, or into the "
       "current folder; prints the package's path",
       &Guarded<&RunPack>},
      {"show", kShowUsage.substr(std::string_view("show ").size()),
       "show packages: flow, transaction, participants, and every document with its type, "
       "flags, names and signatures with their signers"
       "; many packages (- reads their paths from standard input) are judged --jobs at a "
       "time (default: the cores) and reported in order; --json writes a JSON line per package",
       &Guarded<&RunShow>},
      {"verify", kVerifyUsage.substr(std::string_view("verify ").size()),
       "decrypt what the user's keys open and verify every signature with its certificate chain "
       "and revocation lists (downloading what is missing unless --no-download; no revocation "
       "check with --no-crl); one verdict per signature and one line per unsigned document; exit "
       "status 0 only when all are valid and every document is signed (or --allow-unsigned)"
       "; many packages (- reads their paths from standard input) are judged --jobs at a "
       "time (default: the cores) and reported in order; --json writes a JSON line per package",
       &Guarded<&RunVerify>},
      {"extract", kExtractUsage.substr(std::string_view("extract ").size()),
       "decrypt and verify a package as verify does (--no-verify: no signature check) and, only "
       "when it is valid, write every document into DIR under the name part of its original "
       "name: all of them or none, for each package; existing files are never replaced and "
       "nothing is written outside DIR"
       "; many packages (- reads their paths from standard input) are judged --jobs at a "
       "time (default: the cores) and reported in order; --json writes a JSON line per package",
       &Guarded<&RunExtract>},
  };
}

}  // namespace lyr::tool
