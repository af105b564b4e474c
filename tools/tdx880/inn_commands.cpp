// tdx880 inn: checks the check digits of a taxpayer identification number.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "rtl/str_utils.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

// inn NUMBER: exit status 0 for a valid number, 1 for an invalid one.
int RunInn(const Arguments& arguments) {
  if (arguments.size() != 1) {
    std::fputs("usage: tdx880 inn NUMBER\n", stderr);
    return kUsageError;
  }
  const std::string number = FromTerminal(arguments[0]);
  if (rtl::IsValidInn(number)) {
    Print(number + ": valid taxpayer number\n");
    return 0;
  }
  Print(number +
        ": not a valid taxpayer number (10 or 12 digits whose check digits hold are expected)\n");
  return 1;
}

}  // namespace

std::vector<Command> InnCommands() {
  return {{"inn", "NUMBER",
           "check a taxpayer identification number (10 or 12 digits) by its check digits; exit "
           "status 0 valid, 1 invalid",
           &RunInn}};
}

}  // namespace lyr::tool
