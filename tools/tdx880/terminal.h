// The tool's edge: the terminal speaks UTF-8, the library windows-1251.
#pragma once

#include <string>
#include <string_view>

namespace lyr::tool {

// Writes windows-1251 text to standard output / standard error as UTF-8.
void Print(std::string_view ansi_text);
void PrintError(std::string_view ansi_text);
// Writes bytes to standard output unchanged.
void PrintBytes(std::string_view bytes);
// A command-line argument (UTF-8) as windows-1251 text.
std::string FromTerminal(std::string_view utf8);

}  // namespace lyr::tool
