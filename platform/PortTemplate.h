#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace flashdesk::platform {

// Port N's device path comes from a template holding one %i for N.
constexpr const char* kPortTemplateVariable = "FLASHDESK_PORT_TEMPLATE";
// The window searches only the device this names, when set.
constexpr const char* kPinnedPortVariable = "FLASHDESK_PORT";

// This system's template: /dev/ttyUSB%i on POSIX, \\.\COM%i on Windows (the plain "COM10:"
// cannot be opened above COM9).
const char* DefaultPortTemplate();

// Whether a device the user chose by path is kept for the next start. Windows keeps only the
// numbered port, which names every COM port.
bool RemembersChosenDevice();

// Expands a printf-style device template holding exactly one plain %i (and any number of %%)
// for port N. Empty when the template has no %i, several, or any other conversion, so a user's
// template never reaches printf.
std::optional<std::string> ExpandPortTemplate(const std::string& pattern, std::int16_t port);

// The template FLASHDESK_PORT_TEMPLATE asks for, or the default when it is unset or empty.
// Empty, with problem set to a sentence naming the variable, when its value is no template.
std::optional<std::string> EnvironmentPortTemplate(std::string& problem);

}  // namespace flashdesk::platform
