// tdx880 mail: a package as an Internet message (.eml) and a message back as a package.
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "extraction.h"
#include "mail/mail_runtime.h"
#include "mail/package_mail.h"
#include "options.h"
#include "package/tdx880_doc.h"
#include "rtl/atomic_file.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"
#include "signal_cleanup.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kToEmlUsage = "mail to-eml PACKAGE --from ADDR --to ADDR -o FILE.eml";
constexpr std::string_view kFromEmlUsage = "mail from-eml FILE.eml -o DIR";

int RunToEml(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"--from", "--to", "-o"});
  if (!options || options->positional.size() != 1 || !options->Has("--from") ||
      !options->Has("--to") || !options->Has("-o")) {
    return UsageError(kToEmlUsage);
  }
  const mail::MailRuntime runtime;
  const TempWorkspace work;
  package::CTdx880Doc package;
  package.SetTmpDir(work.Path());
  package.Open(FromTerminal(options->positional[0]));
  const std::string message =
      mail::CreateEmailByPackage(package, work.Path(), FromTerminal(options->Value("--from")),
                                 FromTerminal(options->Value("--to")));
  const std::string output = package::ExpandPackagePath(FromTerminal(options->Value("-o")));
  rtl::WriteFileAtomically(output, message, 0644);
  Print("wrote " + output + "\n");
  return 0;
}

int RunFromEml(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"-o"});
  if (!options || options->positional.size() != 1 || !options->Has("-o")) {
    return UsageError(kFromEmlUsage);
  }
  const mail::MailRuntime runtime;
  const TempWorkspace work;
  package::CTdx880Doc package;
  package.SetTmpDir(work.Path());
  mail::CreatePackageByEmailFile(package::ExpandPackagePath(FromTerminal(options->positional[0])),
                                 work.Path(), package);
  const std::string name = package.FileName();
  // Saved in the workspace first, then moved into DIR by a rename that never replaces a file: a
  // file of that name, there before or made meanwhile by another run, is kept and the command
  // fails.
  package.Save(work.Path());
  const std::string saved = package.FileName();
  const std::vector<ExtractedFile> written =
      WriteAllOrNothing(package::ExpandPackagePath(FromTerminal(options->Value("-o"))), {{0, name}},
                        [&](size_t) { return rtl::ReadFileToString(saved); });
  Print("wrote " + Escaped(written.front().path) + "\n");
  return 0;
}

}  // namespace

std::vector<Command> MailCommands() {
  return {
      {"mail to-eml", kToEmlUsage.substr(std::string_view("mail to-eml ").size()),
       "write the package as an Internet message: one base64 attachment, routing headers "
       "X-Message-Id, X-Tax-Code and X-Tax-Version, the subject made of the main document's type "
       "and the transaction",
       &Guarded<&RunToEml>},
      {"mail from-eml", kFromEmlUsage.substr(std::string_view("mail from-eml ").size()),
       "read the package attached to an Internet message (exactly one part) and save it into DIR "
       "under the attachment's name (\"package\" when it has none); an existing file of that name "
       "is never replaced: the command fails and writes nothing",
       &Guarded<&RunFromEml>},
  };
}

}  // namespace lyr::tool
