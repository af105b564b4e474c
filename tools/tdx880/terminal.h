// The tool's edge: the terminal speaks UTF-8, the library windows-1251, and text from outside
// (packages, certificates, messages) never reaches the terminal with its control characters.
#pragma once

#include <string>
#include <string_view>

namespace lyr::tool {

// Text from outside made safe for one line of output: every control character becomes a visible
// escape. Control characters are the bytes below 0x20, 0x7F, and 0x98 (undefined in
// windows-1251, which the terminal would receive as the C1 control U+0098). LF, CR and TAB
// become "\n", "\r" and "\t", the others "\x" and two upper-case hexadecimal digits of the byte
// ("\x1B" for ESC, "\x07" for BEL). Everything else, "\" included, stays as it is.
std::string Escaped(std::string_view ansi_text);

// A library message (which may carry text from outside) made safe for one line: as Escaped, but
// the line break CR LF that the library's system-error messages hold becomes one blank.
std::string EscapedMessage(std::string_view ansi_message);

// True when the byte is one of the control characters Escaped shows as an escape.
bool IsControlCharacter(char byte) noexcept;

// Writes windows-1251 text to standard output / standard error as UTF-8. Control characters
// other than the line ends and tabs of the tool's own layout are escaped as Escaped does, so a
// value that was not escaped where it was put into the text still cannot drive the terminal.
// Nothing is written once a signal stops the tool.
void Print(std::string_view ansi_text);
void PrintError(std::string_view ansi_text);
// Writes bytes to standard output unchanged (documents and files the user asked for).
void PrintBytes(std::string_view bytes);
// A command-line argument (UTF-8) as windows-1251 text.
std::string FromTerminal(std::string_view utf8);

}  // namespace lyr::tool
