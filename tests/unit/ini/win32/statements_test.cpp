// The INI statements on Windows, where the system's profile writer lays the
// files out: what the statements leave is checked by what the system's
// profile reads give back, and failures by files left byte for byte.
#ifdef _WIN32

#include <filesystem>

#include "core/messages.h"
#include "ini/ini.h"
#include "ini_test_support.h"
#include "platform/profile.h"

namespace tav::ini::testing {
namespace {

using Handler = bool (*)(InterpreterState&, const ArgumentArray*);
using Lines = std::vector<std::string>;

class Win32Statements : public IniTest {
 protected:
  bool Run(Handler handler, std::vector<std::string> words, size_t files = 1) {
    ArgumentArray args;
    for (size_t i = 0; i < words.size(); ++i) args.push_back(Argument::Text(i < files ? Path(words[i]) : words[i]));
    return handler(st_, &args);
  }
  Lines Read(const std::string& name, const std::string& section) const {
    std::vector<char> buffer(1 << 16);
    size_t count = platform::ProfileReadSection(Path(name), section, buffer);
    Lines lines;
    for (size_t at = 0; at < count; at += lines.back().size() + 1) lines.emplace_back(&buffer[at]);
    return lines;
  }
  std::string Value(const std::string& name, const std::string& section, const std::string& key) const {
    std::vector<char> buffer(16384);
    size_t count = platform::ProfileReadString(Path(name), section, key, "<none>", buffer);
    return std::string(buffer.data(), count);
  }
  InterpreterState st_;
};

TEST_F(Win32Statements, AddLineAndDeleteLineEditTheSectionInPlace) {
  Put("a.ini", "[386Enh]\r\ndevice=a.386\r\nx=1\r\ndevice=c.386\r\n[b]\r\nq=1\r\n");
  ASSERT_TRUE(Run(IniAddLine, {"a.ini", "386enh", "device=b.386"}));
  EXPECT_EQ(Read("a.ini", "386Enh"), (Lines{"device=a.386", "x=1", "device=b.386", "device=c.386"}));
  EXPECT_EQ(Read("a.ini", "b"), Lines{"q=1"});
  const std::string before = Get("a.ini");
  EXPECT_FALSE(Run(IniAddLine, {"a.ini", "386ENH", "DEVICE=A.386"}));
  EXPECT_EQ(Get("a.ini"), before);

  ASSERT_TRUE(Run(IniAddLine, {"a.ini", "386enh", "devicehigh=d"}));
  ASSERT_TRUE(Run(IniDeleteLine, {"a.ini", "386Enh", "DEVICE"}));
  EXPECT_EQ(Read("a.ini", "386Enh"), Lines{"x=1"});
  const std::string after = Get("a.ini");
  EXPECT_FALSE(Run(IniDeleteLine, {"a.ini", "386Enh", "nomatch"}));
  EXPECT_EQ(st_.errorCode, kErrNoLine);
  EXPECT_FALSE(Run(IniDeleteLine, {"a.ini", "none", "x"}));
  EXPECT_EQ(st_.errorCode, kErrNoSection);
  EXPECT_EQ(Get("a.ini"), after);

  ASSERT_TRUE(Run(IniAddLine, {"new.ini", "s", "k=v"}));
  EXPECT_EQ(Read("new.ini", "S"), Lines{"k=v"});
}

TEST_F(Win32Statements, ChangeCopyAndDeleteGoThroughTheSystem) {
  ASSERT_TRUE(Run(IniChangeLine, {"a.ini", "s", "key=a=b"}));
  EXPECT_EQ(Value("a.ini", "S", "KEY"), "a=b");
  Put("src.ini", "[s]\r\nPath=C:\\DOS\r\nempty=\r\nlong=" + std::string(9000, 'v') + "\r\n");
  ASSERT_TRUE(Run(IniCopyLine, {"src.ini", "a.ini", "S", "path="}, 2));
  EXPECT_EQ(Value("a.ini", "s", "path"), "C:\\DOS");
  EXPECT_FALSE(Run(IniCopyLine, {"src.ini", "a.ini", "s", "empty"}, 2));
  EXPECT_EQ(st_.errorCode, kErrNoSectionOrLine);
  ASSERT_TRUE(Run(IniCopyLine, {"src.ini", "a.ini", "s", "long"}, 2));
  EXPECT_EQ(Value("a.ini", "s", "long"), std::string(8191, 'v'));

  Put("dst.ini", "[x]\r\nx=1\r\n[S]\r\nold=1\r\nold=2\r\n[y]\r\ny=1\r\n");
  ASSERT_TRUE(Run(IniCopySection, {"a.ini", "dst.ini", "s"}, 2));
  EXPECT_EQ(Read("dst.ini", "s"), Read("a.ini", "s"));
  EXPECT_EQ(Read("dst.ini", "y"), Lines{"y=1"});
  ASSERT_TRUE(Run(IniDeleteSection, {"dst.ini", "s"}));
  EXPECT_EQ(Read("dst.ini", "s"), Lines{});
  EXPECT_EQ(Read("dst.ini", "x"), Lines{"x=1"});
  const std::string left = Get("dst.ini");
  EXPECT_FALSE(Run(IniDeleteSection, {"dst.ini", "s"}));
  EXPECT_EQ(st_.errorCode, kErrNoSection);
  EXPECT_EQ(Get("dst.ini"), left);
}

TEST_F(Win32Statements, ReadOnlyAndWideFilesAreLeftAsTheyAre) {
  const std::string wide = std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0001\0\r\0\n\0", 20);
  Put("wide.ini", wide);
  Put("ro.ini", "[S]\r\nk=1\r\n");
  std::filesystem::permissions(Path("ro.ini"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  for (const std::string name : {"wide.ini", "ro.ini"}) {
    const std::string before = Get(name);
    EXPECT_FALSE(Run(IniChangeLine, {name, "S", "k=2"})) << name;
    EXPECT_FALSE(Run(IniAddLine, {name, "S", "j=3"})) << name;
    EXPECT_FALSE(Run(IniDeleteSection, {name, "S"})) << name;
    EXPECT_EQ(Get(name), before) << name;
  }
  std::filesystem::permissions(Path("ro.ini"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

}  // namespace
}  // namespace tav::ini::testing

#endif  // _WIN32
