// Who holds a port and what is wrong with an adapter, read from fake /proc and /sys trees laid
// out as Linux lays them out.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/PortDiagnosis.h"
#include "tests/platform/FakeDeviceTree.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Named(const PortHolders& holders) {
  std::vector<std::string> named;
  for (const RunningProgram& program : holders.programs)
    named.push_back(std::to_string(program.pid) + " " + program.name);
  return named;
}

// Descriptors of a CH340's port under its kernel name, a socket, /dev/null reached through an
// alias, a process gone midway, one whose descriptors cannot be listed and entries that are
// no processes.
TEST(PortHolders, AreFoundByResolvedNameOrDeviceNumberAndHiddenOnesAreOwned) {
  testing_support::FakeTree tree;
  const auto ch340 = tree.Usb("1-2", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
  tree.Tty("ttyUSB0", ch340 / "1-2:1.0/ttyUSB0", "ch341-uart");
  tree.Tty("ttyUSB1", ch340 / "1-2:1.1/ttyUSB1", "ch341-uart");
  const fs::path usb0 = fs::canonical(tree.Dev("ttyUSB0"));
  const std::string byId = tree.Dev("serial/by-id/usb-1a86_USB_Serial-if00");
  fs::create_symlink("../../ttyUSB0", byId);
  const fs::path nullAlias = tree.root / "null-alias";
  fs::create_symlink("/dev/null", nullAlias);

  tree.Process(4242, "minicom", {"socket:[8812]", usb0});
  tree.Process(17, "screen", {usb0, usb0});
  tree.Process(300, "bash", {"/dev/null", fs::canonical(tree.Dev("ttyUSB1"))});
  tree.Process(500, nullptr, {usb0});
  tree.Process(800, "cat", {nullAlias});
  fs::remove_all(tree.Process(600, "gone") / "fd");
  const fs::path hidden = tree.Process(700, "sshd");
  fs::remove_all(hidden / "fd");
  std::ofstream(hidden / "fd") << "not a folder\n";  // as root cannot be refused, any failure
  fs::create_directory_symlink(tree.root / "proc/4242", tree.root / "proc/self");
  for (const char* notProcess : {"12x", "12345678901"}) {
    fs::create_directories(tree.root / "proc" / notProcess / "fd");
    fs::create_symlink(usb0, tree.root / "proc" / notProcess / "fd/3");
  }

  const PortHolders byAlias = ProgramsHolding(byId, tree.Roots());
  EXPECT_EQ(Named(byAlias), (std::vector<std::string>{"17 screen", "500 ", "4242 minicom"}));
  EXPECT_TRUE(byAlias.someUnreadable);
  EXPECT_EQ(Named(ProgramsHolding("/dev/null", tree.Roots())),
            (std::vector<std::string>{"300 bash", "800 cat"}));

  fs::remove_all(tree.root / "proc/700");
  EXPECT_FALSE(ProgramsHolding(byId, tree.Roots()).someUnreadable);
  EXPECT_TRUE(ProgramsHolding(tree.Dev("ttyUSB9"), tree.Roots()).programs.empty());
  const PortHolders noTable =
      ProgramsHolding(byId, {"/nonexistent", "/nonexistent", "/nonexistent"});
  EXPECT_TRUE(noTable.programs.empty());
  EXPECT_TRUE(noTable.someUnreadable) << "nobody could be checked";
}

std::vector<std::string> Listed(const std::vector<UsbSerialAdapter>& adapters) {
  std::vector<std::string> listed;
  for (const UsbSerialAdapter& adapter : adapters) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", adapter.vendorId, adapter.productId);
    listed.push_back(adapter.name + " " + ids + " '" + adapter.product + "'");
    for (const std::string& tty : adapter.ttys)
      listed.back() += " " + tty;
  }
  return listed;
}

// Known chips with and without their port (as brltty leaves a CP210x), unknown chips bound to
// serial drivers, a mouse, the bus's interface entries, nonsense ids and a dangling entry.
TEST(UsbSerialAdapters, AreKnownChipsOrSerialDriversAndKeepTheirPorts) {
  testing_support::FakeTree tree;
  tree.Usb("1-2", {{"idVendor", "10c4"}, {"idProduct", "ea60"}});
  const auto ch340 =
      tree.Usb("1-20", {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}});
  tree.Tty("ttyUSB0", ch340 / "1-20:1.0/ttyUSB0", "ch341-uart");
  fs::create_directory_symlink(ch340 / "1-20:1.0", tree.root / "sys/bus/usb/devices/1-20:1.0");
  const auto arduino = tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}});
  tree.Tty("ttyACM0", arduino / "1-4:1.0", "cdc_acm");
  tree.Interface(tree.Usb("1-5", {{"idVendor", "1234"}, {"idProduct", "5678"}}), "1-5:1.0",
                 "ftdi_sio");
  tree.Interface(tree.Usb("1-6", {{"idVendor", "046d"}, {"idProduct", "c52b"}}), "1-6:1.0",
                 "usbhid");
  tree.Usb("1-7", {{"idVendor", "zz86"}, {"idProduct", "7523"}});
  tree.Usb("1-8", {{"idVendor", "1a86"}});
  fs::create_directory_symlink(tree.root / "sys/devices/gone",
                               tree.root / "sys/bus/usb/devices/1-9");

  EXPECT_EQ(Listed(FindUsbSerialAdapters(tree.Roots())),
            (std::vector<std::string>{"1-2 10c4:ea60 ''", "1-20 1a86:7523 'USB Serial' ttyUSB0",
                                      "1-4 2341:0043 '' ttyACM0", "1-5 1234:5678 ''"}));
  EXPECT_TRUE(FindUsbSerialAdapters({"/nonexistent", "/nonexistent", "/nonexistent"}).empty());
}

TEST(UsbSerialAdapters, BrlttyAndModemManagerAreSeenInTheProcessTable) {
  testing_support::FakeTree tree;
  tree.Usb("3-1", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
  const auto kinds = [&tree] {
    std::vector<HintKind> found;
    for (const AdapterHint& hint : CheckAdapters(tree.Roots()))
      found.push_back(hint.kind);
    return found;
  };
  tree.Process(1, "systemd");
  EXPECT_EQ(kinds(), std::vector<HintKind>{HintKind::kAdapterWithoutPort});
  EXPECT_EQ(CheckAdapters(tree.Roots())[0].text.find("brltty has claimed"), std::string::npos);
  tree.Process(600, "brltty");
  tree.Process(700, "ModemManager");
  EXPECT_EQ(kinds(),
            (std::vector<HintKind>{HintKind::kAdapterWithoutPort, HintKind::kModemManager}));
  EXPECT_NE(CheckAdapters(tree.Roots())[0].text.find("brltty has claimed"), std::string::npos);
}

// A port in use is looked up in the process table, a refused one in the device's owner; the
// other problems need neither.
TEST(PortCheck, GathersOnlyWhatTheAdviceForItsProblemNeeds) {
  testing_support::FakeTree tree;
  tree.Process(4242, "minicom", {"/dev/null"});
  const struct {
    std::optional<SerialProblem> problem;
    std::vector<std::string> holders;
    std::string group;
  } cases[] = {
      {SerialProblem::kInUse, {"4242 minicom"}, ""},
      {SerialProblem::kPermission, {}, "root"},  // /dev/null is root's on every Linux
      {SerialProblem::kNotSerial, {}, ""},
      {std::nullopt, {}, ""},
  };
  for (const auto& c : cases) {
    const PortFacts facts = CheckPort("/dev/null", c.problem, tree.Roots());
    const std::string name = c.problem ? ProblemName(*c.problem) : "silent";
    EXPECT_EQ(facts.path, "/dev/null") << name;
    EXPECT_EQ(facts.problem, c.problem) << name;
    EXPECT_EQ(Named(facts.holders), c.holders) << name;
    EXPECT_EQ(facts.group, c.group) << name;
  }
  EXPECT_EQ(DeviceGroup(tree.Dev("ttyUSB9")), "") << "no such device";
}

// What a front end prints after a failed search: the held port with its holder, then what
// keeps the second adapter from having a port at all.
TEST(FailedSearchAdvice, NamesTheHoldersOfThisMachineAndEndsWithItsAdaptersHints) {
  testing_support::FakeTree tree;
  const auto ch340 = tree.Usb("1-2", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
  tree.Tty("ttyUSB0", ch340 / "1-2:1.0/ttyUSB0", "ch341-uart");
  tree.Usb("1-3", {{"idVendor", "10c4"}, {"idProduct", "ea60"}});
  tree.Process(4242, "minicom", {fs::canonical(tree.Dev("ttyUSB0"))});
  tree.Process(600, "brltty");

  const std::vector<std::string> lines =
      FailedSearchAdvice({{tree.Dev("ttyUSB0"), SerialProblem::kInUse},
                          {tree.Dev("ttyUSB1"), SerialProblem::kMissing}},
                         tree.Roots());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(tree.Dev("ttyUSB0") + ": ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("minicom (pid 4242)"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("(10c4:ea60) at USB 1-3"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("brltty has claimed it"), std::string::npos) << lines[1];
}

}  // namespace
}  // namespace flashdesk::platform
