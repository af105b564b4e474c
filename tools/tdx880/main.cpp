// tdx880: command-line access to the library's transport-package engine.
#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "signal_cleanup.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

// Every command of the tool, in the order --help lists them.
std::vector<Command> AllCommands() {
  std::vector<Command> all;
  for (std::vector<Command> group :
       {CodesCommands(), InnCommands(), RegisterCommands(), TypelibCommands(),
        DescriptionCommands(), CertCommands(), FetchCommands(), EnvelopeCommands(),
        SignatureCommands(), KeysCommands(), PackageCommands(), ContainerCommands(), MailCommands(),
        AnswerCommands(), InboxCommands(), DemoCommands()}) {
    all.insert(all.end(), group.begin(), group.end());
  }
  return all;
}

void PrintHelp(const std::vector<Command>& commands) {
  std::string text =
      "Usage: tdx880 COMMAND [ARGUMENTS]\n"
      "Builds, reads, signs, encrypts, decrypts and verifies transport packages.\n\n"
      "Commands:\n";
  for (const Command& command : commands) {
    std::string head = "  " + std::string(command.name);
    if (!command.usage.empty()) {
      head += " " + std::string(command.usage);
    }
    text += head + "\n      " + std::string(command.summary) + "\n";
  }
  text +=
      "\nOptions:\n  --help       show this text\n  --version    show the version\n\n"
      "Environment: LYR_TDX_TRACE=stderr|FILE writes the library's trace lines.\n";
  std::fputs(text.c_str(), stdout);
}

// How many words of the command line a command's name takes: a name is one word ("fetch") or
// several separated by blanks ("cert list"); 0 when the command line does not start with it.
size_t WordsOfName(std::string_view name, int argc, char** argv) {
  size_t words = 0;
  for (size_t start = 0; start <= name.size(); ++words) {
    const size_t end = std::min(name.find(' ', start), name.size());
    if (1 + static_cast<int>(words) >= argc || name.substr(start, end - start) != argv[1 + words]) {
      return 0;
    }
    start = end + 1;
  }
  return words;
}

// The words of an unknown command as the user wrote them: the first, and the second when the
// first names a group of commands ("cert remove").
std::string UnknownName(const std::vector<Command>& commands, int argc, char** argv) {
  std::string name = argv[1];
  for (const Command& command : commands) {
    if (command.name.starts_with(name + " ") && argc > 2) {
      return name + " " + argv[2];
    }
  }
  return name;
}

int Run(int argc, char** argv) {
  const std::vector<Command> commands = AllCommands();
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    PrintHelp(commands);
    return argc < 2 ? kUsageError : 0;
  }
  const std::string name = argv[1];
  if (name == "--version") {
    std::puts("tdx880 " LYR_VERSION);
    return 0;
  }
  for (const Command& command : commands) {
    if (const size_t words = WordsOfName(command.name, argc, argv); words > 0) {
      return command.run(Arguments(argv + 1 + words, argv + argc));
    }
  }
  PrintError("tdx880: unknown command '" +
             Escaped(FromTerminal(UnknownName(commands, argc, argv))) + "' (see tdx880 --help)\n");
  return kUsageError;
}

}  // namespace
}  // namespace lyr::tool

namespace lyr::tool {
namespace {

// Run, with a failure that no command caught printed as its message and exit status 1.
int RunGuarded(int argc, char** argv) {
  try {
    StartSignalCleanup();
    return Run(argc, argv);
  } catch (const rtl::Exception& error) {
    PrintError(EscapedMessage(error.Message()) + "\n");
  } catch (const std::bad_alloc&) {
    PrintError("tdx880: out of memory\n");
  } catch (const std::exception& error) {
    PrintError(EscapedMessage(rtl::Utf8ToAnsi(std::string_view(error.what()))) + "\n");
  }
  return 1;
}

}  // namespace
}  // namespace lyr::tool

int main(int argc, char** argv) {
  const int status = lyr::tool::RunGuarded(argc, argv);
  lyr::tool::FinishSignalCleanup();
  return status;
}
