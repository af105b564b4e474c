// Command-line options of the tool's commands.
#include "options.h"

#include <algorithm>
#include <cstdio>

namespace lyr::tool {

std::string Options::Value(const std::string& name, const std::string& fallback) const {
  const auto found = values.find(name);
  return found == values.end() ? fallback : found->second;
}

std::optional<Options> ParseOptions(const Arguments& arguments,
                                    std::initializer_list<std::string_view> with_value,
                                    std::initializer_list<std::string_view> flags) {
  const auto is_one_of = [](std::initializer_list<std::string_view> names, const std::string& s) {
    return std::find(names.begin(), names.end(), s) != names.end();
  };
  Options options;
  bool only_positional = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (only_positional || argument == "-" || !argument.starts_with("-")) {
      options.positional.push_back(argument);
    } else if (argument == "--") {
      only_positional = true;
    } else if (is_one_of(with_value, argument)) {
      if (i + 1 == arguments.size() || options.Has(argument)) {
        return std::nullopt;
      }
      options.values[argument] = arguments[++i];
    } else if (is_one_of(flags, argument) && !options.Has(argument)) {
      options.flags.insert(argument);
    } else {
      return std::nullopt;
    }
  }
  return options;
}

int UsageError(std::string_view usage) {
  std::fprintf(stderr, "usage: tdx880 %.*s\n", static_cast<int>(usage.size()), usage.data());
  return kUsageError;
}

}  // namespace lyr::tool
