// Command-line options of the tool's commands: positional arguments, options with a value and
// flags.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "rtl/errors.h"
#include "terminal.h"

namespace lyr::tool {

struct Options {
  std::vector<std::string> positional;        // in order, as given (UTF-8)
  std::map<std::string, std::string> values;  // option name ("--store") -> its value (UTF-8)
  std::set<std::string> flags;                // flags given ("--machine")

  [[nodiscard]] bool Has(const std::string& name) const {
    return values.contains(name) || flags.contains(name);
  }
  // The option's value, or fallback when it was not given.
  [[nodiscard]] std::string Value(const std::string& name, const std::string& fallback = {}) const;
};

// Parses arguments: a name of with_value takes the next argument as its value, a name of flags
// stands alone, anything else is positional ("-" alone and everything after "--" included).
// Nothing for an unknown option, an option without its value, or one given twice.
std::optional<Options> ParseOptions(const Arguments& arguments,
                                    std::initializer_list<std::string_view> with_value,
                                    std::initializer_list<std::string_view> flags = {});

// Writes "usage: tdx880 <usage>" to standard error and returns kUsageError.
int UsageError(std::string_view usage);

// Runs the command Body; a library failure prints its message to standard error and gives exit
// status 1.
template <int (*Body)(const Arguments&)>
int Guarded(const Arguments& arguments) {
  try {
    return Body(arguments);
  } catch (const rtl::Exception& error) {
    PrintError(EscapedMessage(error.Message()) + "\n");
    return 1;
  }
}

}  // namespace lyr::tool
