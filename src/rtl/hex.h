// Bytes as hexadecimal text and back.
#pragma once

#include <string>
#include <string_view>

#include "base/ascii.h"

namespace lyr::rtl {

// "0x" followed by two upper-case hexadecimal digits per byte; "" for no bytes.
std::string BytesToHex(std::string_view bytes);
// Two upper-case hexadecimal digits per byte, without a prefix; "" for no bytes.
std::string BytesToHexPlain(std::string_view bytes);
// Two hexadecimal digits (either case) per byte. Text of odd length or with a character that is
// not a hexadecimal digit fails with "Неверное шестнадцатеричное значение: [%s]" (the text).
std::string HexToBytes(std::string_view text);
// The value of one hexadecimal digit (either case); -1 for any other character.
using base::HexDigitValue;

}  // namespace lyr::rtl
