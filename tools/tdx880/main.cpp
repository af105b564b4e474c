// tdx880: command-line access to the library's transport-package engine.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "rtl/errors.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

// Every command of the tool, in the order --help lists them.
std::vector<Command> AllCommands() {
  std::vector<Command> all;
  for (std::vector<Command> group : {CodesCommands(), InnCommands(), RegisterCommands(),
                                     TypelibCommands(), DescriptionCommands()}) {
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
    if (command.name == name) {
      return command.run(Arguments(argv + 2, argv + argc));
    }
  }
  std::fprintf(stderr, "tdx880: unknown command '%s' (see tdx880 --help)\n", name.c_str());
  return kUsageError;
}

}  // namespace
}  // namespace lyr::tool

int main(int argc, char** argv) {
  try {
    return lyr::tool::Run(argc, argv);
  } catch (const lyr::rtl::Exception& error) {
    lyr::tool::PrintError(error.Message() + "\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
  }
  return 1;
}
