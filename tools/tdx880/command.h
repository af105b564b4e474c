// One command of the tool, and the command groups.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lyr::tool {

// Arguments after the command name, as the terminal gave them (UTF-8).
using Arguments = std::vector<std::string>;

struct Command {
  std::string_view name;     // one word, or words separated by blanks ("cert list")
  std::string_view usage;    // arguments, for --help
  std::string_view summary;  // one line, for --help
  int (*run)(const Arguments& arguments);
};

// Exit status for wrong usage.
inline constexpr int kUsageError = 2;

// The command groups, one file each.
std::vector<Command> CodesCommands();        // codes_commands.cpp
std::vector<Command> InnCommands();          // inn_commands.cpp
std::vector<Command> RegisterCommands();     // register_commands.cpp
std::vector<Command> TypelibCommands();      // typelib_commands.cpp
std::vector<Command> DescriptionCommands();  // description_commands.cpp
std::vector<Command> CertCommands();         // cert_commands.cpp
std::vector<Command> FetchCommands();        // fetch_commands.cpp
std::vector<Command> EnvelopeCommands();     // envelope_commands.cpp
std::vector<Command> SignatureCommands();    // signature_commands.cpp
std::vector<Command> KeysCommands();         // keys_commands.cpp
std::vector<Command> PackageCommands();      // package_commands.cpp
std::vector<Command> ContainerCommands();    // container_commands.cpp
std::vector<Command> MailCommands();         // mail_commands.cpp
std::vector<Command> AnswerCommands();       // answer_commands.cpp
std::vector<Command> InboxCommands();        // inbox_commands.cpp
std::vector<Command> DemoCommands();         // demo_command.cpp

}  // namespace lyr::tool
