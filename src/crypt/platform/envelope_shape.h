// Private to src/crypt/platform: the exact envelope forms the library opens, checked before the
// GOST engine sees an envelope.
#pragma once

#include <string_view>

#include "crypt/platform/envelope.h"

namespace lyr::crypt {

// Checks that envelope is, byte for byte, one of the accepted forms (DER, nothing trailing at
// any level) and returns its content encryption and parameter set. Raises ECryptError
// CRYPT_E_BAD_MSG for anything else, CRYPT_E_INVALID_MSG_TYPE for a CMS type other than
// EnvelopedData and CRYPT_E_UNKNOWN_ALGO for recipient kinds, key algorithms and content
// encryption that are not accepted; the text in parentheses names the field.
EnvelopeAlgorithms CheckEnvelopeShape(std::string_view envelope);

}  // namespace lyr::crypt
