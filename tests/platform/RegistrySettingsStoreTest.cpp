// The registry store in a key of the test's own (run under Wine in CI).
#include <gtest/gtest.h>

#include "platform/win32/RegistrySettingsStore.h"

namespace flashdesk::platform {
namespace {

constexpr const char* kTestKey = "SOFTWARE\\TARN-System-Test";

TEST(RegistrySettingsStore, KeepsTextAsRegSzWithItsZeroAndRefusesWhatFillsTheBuffer) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  RegistrySettingsStore store(kTestKey, {});
  std::string value;
  ASSERT_TRUE(store.OpenSection()) << "creates the missing key";
  EXPECT_FALSE(store.ReadValue("ComPort", value));
  for (const std::size_t length : {0, 1, 511, 512}) {
    const std::string text(length, '7');
    const bool readable = length < 512;
    ASSERT_TRUE(store.OpenSection());
    ASSERT_TRUE(store.WriteValue("ComPort", text));
    HKEY key = nullptr;  // read back as stored, with no terminator added on the way
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "ComPort", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, length + 1) << "stored with its terminating zero";
    value = "unchanged";
    ASSERT_TRUE(store.OpenSection());
    EXPECT_EQ(store.ReadValue("ComPort", value), readable) << length;
    EXPECT_EQ(value, readable ? text : "unchanged");
  }
  EXPECT_FALSE(store.ReadValue("ComPort", value)) << "the read closed the key";
  RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
}

}  // namespace
}  // namespace flashdesk::platform
