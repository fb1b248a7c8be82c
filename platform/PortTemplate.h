#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace flashdesk::platform {

// Expands a printf-style device template holding exactly one plain %i (and any number of %%)
// for port N. Empty when the template has no %i, several, or any other conversion, so a user's
// template never reaches printf.
std::optional<std::string> ExpandPortTemplate(const std::string& pattern, std::int16_t port);

}  // namespace flashdesk::platform
