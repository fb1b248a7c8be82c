#include "platform/PortDiagnosis.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "resources/Strings.h"

namespace flashdesk::platform {
namespace {

using Values = std::map<std::string, std::string>;

// The text with each %key% replaced by its value in one pass, so that a value (a product
// name, a path) is never read as a key itself.
std::string Fill(const char* text, const Values& values) {
  std::string filled;
  for (const char* at = text; *at != '\0'; ++at) {
    const char* end = *at == '%' ? std::strchr(at + 1, '%') : nullptr;
    const auto found = end ? values.find(std::string(at + 1, end)) : values.end();
    if (found == values.end()) {
      filled += *at;
      continue;
    }
    filled += found->second;
    at = end;
  }
  return filled;
}

std::string Hex4(std::uint16_t id) {
  char text[5];
  std::snprintf(text, sizeof text, "%04x", id);
  return text;
}

std::string HolderList(const std::vector<RunningProgram>& programs) {
  std::string list;
  for (const RunningProgram& program : programs) {
    if (!list.empty())
      list += ", ";
    const Values values = {{"name", program.name}, {"pid", std::to_string(program.pid)}};
    list += Fill(program.name.empty() ? strings::kUnnamedHolder : strings::kHolder, values);
  }
  return list;
}

std::string InUseAdvice(const PortFacts& facts) {
  const Values values = {{"path", facts.path}, {"holders", HolderList(facts.holders.programs)}};
  if (!facts.holders.programs.empty())
    return Fill(strings::kHeldAdvice, values);
  std::string advice = Fill(strings::kInUseAdvice, values);
  if (facts.holders.someUnreadable)
    advice += strings::kUncheckedHoldersNote;
  return advice;
}

const char* PermissionAdvice(const std::string& group) {
  if (group.empty() || group == "dialout")
    return strings::kPermissionAdvice;
  // Joining root's group would be no fix at all.
  return group == "root" ? strings::kRootOnlyAdvice : strings::kGroupPermissionAdvice;
}

const char* AdviceFor(SerialProblem problem, const std::string& group) {
  switch (problem) {
    case SerialProblem::kPermission:
      return PermissionAdvice(group);
    case SerialProblem::kInUse:
      break;  // worded with its holders
    case SerialProblem::kMissing:
      return strings::kMissingAdvice;
    case SerialProblem::kVanished:
      return strings::kVanishedAdvice;
    case SerialProblem::kNotSerial:
      return strings::kNotSerialAdvice;
    case SerialProblem::kTimedOut:
      return strings::kTimedOutAdvice;
    case SerialProblem::kOther:
      break;
  }
  return strings::kOtherAdvice;
}

bool Runs(const std::vector<RunningProgram>& programs, const std::string& name) {
  return std::any_of(programs.begin(), programs.end(),
                     [&name](const RunningProgram& program) { return program.name == name; });
}

std::string AdapterInWords(const UsbSerialAdapter& adapter) {
  return Fill(strings::kAdapterDevice,
              {{"product", adapter.product.empty() ? strings::kUnnamedAdapter : adapter.product},
               {"ids", Hex4(adapter.vendorId) + ":" + Hex4(adapter.productId)},
               {"usb", adapter.name}});
}

}  // namespace

std::vector<AdapterHint> AdapterHints(const std::vector<UsbSerialAdapter>& adapters,
                                      const std::vector<RunningProgram>& programs) {
  std::vector<AdapterHint> hints;
  // What brltty's udev rules do to a CH340 or CP210x adapter: it takes the device, no tty.
  const char* withoutPort = Runs(programs, "brltty") ? strings::kBrlttyHint : strings::kNoPortHint;
  for (const UsbSerialAdapter& adapter : adapters) {
    const std::string device = AdapterInWords(adapter);
    if (adapter.ttys.empty())
      hints.push_back(
          {HintKind::kAdapterWithoutPort, device, Fill(withoutPort, {{"device", device}})});
  }
  if (!Runs(programs, "ModemManager"))
    return hints;
  for (const UsbSerialAdapter& adapter : adapters) {
    const std::string device = AdapterInWords(adapter);
    hints.push_back({HintKind::kModemManager, device,
                     Fill(strings::kModemManagerHint, {{"device", device},
                                                       {"idVendor", Hex4(adapter.vendorId)},
                                                       {"idProduct", Hex4(adapter.productId)}})});
  }
  return hints;
}

std::vector<AdapterHint> CheckAdapters(const DiscoveryRoots& roots) {
  return AdapterHints(FindUsbSerialAdapters(roots), RunningPrograms(roots));
}

PortFacts CheckPort(const std::string& path, std::optional<SerialProblem> problem,
                    const DiscoveryRoots& roots) {
  PortFacts facts;
  facts.path = path;
  facts.problem = problem;
  if (problem == SerialProblem::kInUse)
    facts.holders = ProgramsHolding(path, roots);
  if (problem == SerialProblem::kPermission)
    facts.group = DeviceGroup(path);
  return facts;
}

std::string PortAdvice(const PortFacts& facts) {
  if (!facts.problem)
    return Fill(strings::kSilentAdvice, {{"path", facts.path}});
  if (*facts.problem == SerialProblem::kInUse)
    return InUseAdvice(facts);
  return Fill(AdviceFor(*facts.problem, facts.group),
              {{"path", facts.path}, {"group", facts.group}});
}

bool Refused(const SearchedPort& port) {
  return port.problem && *port.problem != SerialProblem::kMissing;
}

std::vector<std::string> FailedSearchAdvice(const std::vector<SearchedPort>& ports,
                                            const DiscoveryRoots& roots) {
  std::vector<const SearchedPort*> distinct;
  for (const SearchedPort& port : ports) {
    const auto seen = [&port](const SearchedPort* earlier) { return earlier->path == port.path; };
    if (std::none_of(distinct.begin(), distinct.end(), seen))
      distinct.push_back(&port);
  }
  std::vector<std::string> advice;
  std::vector<std::string> missing;
  for (const SearchedPort* port : distinct) {
    if (port->problem == SerialProblem::kMissing)
      missing.push_back(port->path);
    else
      advice.push_back(PortAdvice(CheckPort(port->path, port->problem, roots)));
  }
  // Every number of the search without a device would be eleven lines saying one thing.
  if (advice.empty() && missing.size() == 1)
    advice.push_back(PortAdvice(CheckPort(missing[0], SerialProblem::kMissing, roots)));
  if (advice.empty() && missing.size() > 1) {
    const auto [first, last] = std::minmax_element(missing.begin(), missing.end(), NaturalLess);
    advice.push_back(Fill(strings::kNoPortsAdvice, {{"first", *first}, {"last", *last}}));
  }
  for (const AdapterHint& hint : CheckAdapters(roots))
    advice.push_back(hint.text);
  return advice;
}

}  // namespace flashdesk::platform
