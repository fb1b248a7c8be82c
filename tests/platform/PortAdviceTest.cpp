// The words for why a port gave no speakers and for what spoils a search, from given facts.
#include <gtest/gtest.h>

#include <iterator>

#include "platform/PortDiagnosis.h"

namespace flashdesk::platform {
namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

PortFacts Facts(std::optional<SerialProblem> problem, PortHolders holders = {},
                std::string group = {}) {
  return {"/dev/ttyUSB0", problem, std::move(holders), std::move(group)};
}

TEST(PortAdvice, SaysWhyAndTheFixForEachProblem) {
  const PortHolders two = {{{4242, "minicom"}, {17, ""}}, true};
  const PortHolders hidden = {{}, true};
  const struct {
    PortFacts facts;
    std::vector<std::string> says;
    std::vector<std::string> never;
  } cases[] = {
      {Facts(SerialProblem::kPermission), {"sudo usermod -aG dialout $USER", "log"}, {"udev"}},
      {Facts(SerialProblem::kPermission, {}, "dialout"), {"-aG dialout"}, {"group dialout"}},
      {Facts(SerialProblem::kPermission, {}, "uucp"),
       {"group uucp", "-aG uucp $USER"},
       {"dialout"}},
      {Facts(SerialProblem::kPermission, {}, "root"),
       {"only root", "udev", "-aG dialout"},
       {"-aG root"}},
      {Facts(SerialProblem::kInUse, two), {"minicom (pid 4242), a program (pid 17)"}, {"root"}},
      {Facts(SerialProblem::kInUse), {"another program"}, {"root", "pid"}},
      {Facts(SerialProblem::kInUse, hidden), {"another program", "without root"}, {}},
      {Facts(std::nullopt), {"power", "cabling", "termination"}, {}},
      {Facts(SerialProblem::kNotSerial),
       {"/dev/ttyUSB0 is not a serial port", "FLASHDESK_PORT_TEMPLATE", "--port"},
       {}},
      {Facts(SerialProblem::kMissing), {"plugged in"}, {}},
      {Facts(SerialProblem::kVanished), {"plugged in"}, {}},
      {Facts(SerialProblem::kTimedOut), {"in time"}, {}},
      {Facts(SerialProblem::kOther), {"another port"}, {}},
  };
  for (const auto& c : cases) {
    const std::string advice = PortAdvice(c.facts);
    EXPECT_EQ(advice.rfind("/dev/ttyUSB0", 0), 0u) << advice;
    EXPECT_FALSE(Has(advice, "%")) << "a placeholder left: " << advice;
    EXPECT_FALSE(Has(advice, "\n")) << advice;
    for (const std::string& part : c.says)
      EXPECT_TRUE(Has(advice, part)) << part << " in " << advice;
    for (const std::string& part : c.never)
      EXPECT_FALSE(Has(advice, part)) << part << " in " << advice;
  }
}

TEST(AdapterHints, NameBrlttyOnlyWhenItRunsAndModemManagerForEveryAdapter) {
  const std::vector<UsbSerialAdapter> adapters = {
      {"1-2", 0x1a86, 0x7523, "", {}},
      {"1-3", 0x0403, 0x6001, "FT232R 100%path%", {"ttyUSB0"}},
  };
  EXPECT_TRUE(AdapterHints({}, {{1, "brltty"}, {2, "ModemManager"}}).empty());

  const std::vector<AdapterHint> quiet = AdapterHints(adapters, {{1, "systemd"}});
  ASSERT_EQ(quiet.size(), 1u);
  EXPECT_EQ(quiet[0].kind, HintKind::kAdapterWithoutPort);
  EXPECT_EQ(quiet[0].device, "USB serial adapter (1a86:7523) at USB 1-2");
  EXPECT_FALSE(Has(quiet[0].text, "brltty has claimed"));

  const std::vector<AdapterHint> busy =
      AdapterHints(adapters, {{1, "brltty"}, {9, "ModemManager"}});
  ASSERT_EQ(busy.size(), 3u);
  EXPECT_TRUE(Has(busy[0].text, "brltty has claimed it"));
  EXPECT_TRUE(Has(busy[0].text, "sudo apt remove brltty"));
  for (std::size_t i : {1u, 2u})
    EXPECT_EQ(busy[i].kind, HintKind::kModemManager);
  EXPECT_EQ(busy[2].device, "FT232R 100%path% (0403:6001) at USB 1-3") << "names stay as given";
  EXPECT_TRUE(Has(busy[1].text, "ATTRS{idVendor}==\"1a86\", ATTRS{idProduct}==\"7523\""));
  EXPECT_TRUE(Has(busy[2].text, "ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\""));
  EXPECT_TRUE(Has(busy[2].text, "ENV{ID_MM_DEVICE_IGNORE}=\"1\""));
}

// Roots where nothing is, so that no process or adapter of this machine adds a line.
const DiscoveryRoots kNowhere = {"/nonexistent", "/nonexistent", "/nonexistent"};

TEST(FailedSearchAdvice, NamesEachPortThatIsThereOnceInTheOrderTried) {
  const auto tty = [](int n) { return "/dev/ttyUSB" + std::to_string(n); };
  const std::vector<std::string> lines = FailedSearchAdvice({{tty(3), SerialProblem::kNotSerial},
                                                             {tty(0), SerialProblem::kMissing},
                                                             {tty(2), std::nullopt},
                                                             {tty(3), SerialProblem::kNotSerial},
                                                             {tty(10), SerialProblem::kVanished}},
                                                            kNowhere);
  const char* const starts[] = {"/dev/ttyUSB3 is not", "/dev/ttyUSB2: ", "/dev/ttyUSB10: "};
  ASSERT_EQ(lines.size(), std::size(starts));
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i].rfind(starts[i], 0), 0u) << lines[i];
}

// The numbered search tries the saved port first and again in turn.
TEST(FailedSearchAdvice, PortsThatAreNowhereMakeOneLineWithTheFirstAndLastInNaturalOrder) {
  std::vector<SearchedPort> missing = {{"/dev/ttyUSB3", SerialProblem::kMissing}};
  for (int n = 0; n <= 10; ++n)
    missing.push_back({"/dev/ttyUSB" + std::to_string(n), SerialProblem::kMissing});
  const std::vector<std::string> lines = FailedSearchAdvice(missing, kNowhere);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("/dev/ttyUSB0 to /dev/ttyUSB10: ", 0), 0u) << lines[0];
  EXPECT_TRUE(Has(lines[0], "plugged in")) << lines[0];

  const std::vector<std::string> pinned =
      FailedSearchAdvice({{"/dev/ttyACM0", SerialProblem::kMissing}}, kNowhere);
  ASSERT_EQ(pinned.size(), 1u);
  EXPECT_EQ(pinned[0].rfind("/dev/ttyACM0: ", 0), 0u) << pinned[0];
  EXPECT_FALSE(Has(pinned[0], " to ")) << pinned[0];
  EXPECT_TRUE(FailedSearchAdvice({}, kNowhere).empty());
}

}  // namespace
}  // namespace flashdesk::platform
