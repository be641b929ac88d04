// The store file format on inputs the fuzzer found: what is read, and that
// writing and reading again gives the same tree and the same bytes.
#include <gtest/gtest.h>

#include "registry/store/format.h"

namespace tav::regstore {
namespace {

// The tree read from bytes, written and read back; the written bytes.
struct RoundTrip {
  explicit RoundTrip(const std::string& bytes) {
    FormatError error;
    read = ReadStoreFile(bytes, first, error);
    written = WriteStoreFile(first);
    reread = ReadStoreFile(written, second, error);
  }
  StoredKey first{"HKEY_LOCAL_MACHINE"};
  StoredKey second{"HKEY_LOCAL_MACHINE"};
  bool read = false;
  bool reread = false;
  std::string written;
};

std::string OnlySubkeyName(const StoredKey& key) {
  return key.Subkeys().size() == 1 ? key.Subkeys().begin()->second->Name() : std::string("(not one subkey)");
}

TEST(StoreFileFormat, HighBytesThatLookLikeAThreeByteLeadAreWindows1252) {
  // "xü°°" in Windows-1252: FC B0 B0 is no UTF-8 character, so the file is
  // read as 1252 and the name survives the round trip whole.
  RoundTrip trip("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\x\xFC\xB0\xB0]\n");
  ASSERT_TRUE(trip.read);
  ASSERT_TRUE(trip.reread);
  EXPECT_EQ(OnlySubkeyName(trip.first), "x\xC3\xBC\xC2\xB0\xC2\xB0");
  EXPECT_EQ(OnlySubkeyName(trip.second), OnlySubkeyName(trip.first));
  for (std::string lead : {"\xF5", "\xF8", "\xFF"}) {
    RoundTrip other("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\" + lead + "\x80\x80]\n");
    ASSERT_TRUE(other.read && other.reread);
    EXPECT_EQ(OnlySubkeyName(other.second), OnlySubkeyName(other.first));
    EXPECT_EQ(WriteStoreFile(other.second), other.written);
  }
}

}  // namespace
}  // namespace tav::regstore
