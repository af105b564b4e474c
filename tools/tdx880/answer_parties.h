// The participants of the answers to a received package, from the command line: shared by
// `receipt` and `inbox`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "automation/tdx880_subject.h"
#include "options.h"

namespace lyr::tool {

// The thumbprint an option names (NormalThumbprint); raises "not a SHA-1 thumbprint (40
// hexadecimal digits): <text>" otherwise.
std::string ThumbprintOf(const std::string& text);

// The confirming participant from --by (ul, fl, no or sos) with --id and the kind's values
// (--inn, --kpp, --name, --fio), each through the model's checks.
std::unique_ptr<automation::CTdx880Subject> Corroborant(const Options& options);

// The participant of the kind a received package names by its subject code, with the
// package's identifier; a tax payer is an organisation with --sender-inn, --sender-kpp and
// --sender-name (or the identifier).
std::unique_ptr<automation::CTdx880Subject> PartyOfCode(uint8_t code, const std::string& identifier,
                                                        const Options& options);

}  // namespace lyr::tool
