// The engine's filters: name patterns, exclusions at the end of a path, and
// how written exclusions are prepared.
#include <gtest/gtest.h>

#include "path_support.h"
#include "sync/matchers.h"

namespace tav::sync {
namespace {

TEST(SyncMatchName, StarDotStarFitsEveryName) {
  EXPECT_TRUE(MatchName("readme.txt", "*.*"));
  EXPECT_TRUE(MatchName("README", "*.*"));
  EXPECT_TRUE(MatchName("a.b.c", "*"));
}

TEST(SyncMatchName, IgnoresCaseOfNameAndPattern) {
  EXPECT_TRUE(MatchName("readme.txt", "*.TXT"));
  EXPECT_TRUE(MatchName("README.TXT", "*.txt"));
  EXPECT_FALSE(MatchName("readme.doc", "*.TXT"));
}

TEST(SyncMatchName, StarStopsAtTheFirstOccurrenceWithoutBacktracking) {
  EXPECT_FALSE(MatchName("a.b.txt", "*.TXT"));
  EXPECT_TRUE(MatchName("ab.txt", "A*.TXT"));
}

TEST(SyncMatchName, NameWithoutDotIsComparedWithOne) {
  EXPECT_FALSE(MatchName("README", "*.TXT"));
  EXPECT_TRUE(MatchName("README", "*."));
  EXPECT_FALSE(MatchName("readme.txt", "*."));
  EXPECT_TRUE(MatchName("README", "README"));
}

TEST(SyncMatchName, QuestionMarkTakesExactlyOneCharacter) {
  EXPECT_TRUE(MatchName("a1.log", "A?.LOG"));
  EXPECT_FALSE(MatchName("a.log", "A?.LOG"));
  EXPECT_FALSE(MatchName("a12.log", "A?.LOG"));
  // Past the end of the name there is nothing to take.
  EXPECT_FALSE(MatchName("ab", "AB.??"));
}

TEST(SyncMatchName, CharacterAfterStarIsLiteral) {
  EXPECT_TRUE(MatchName("x?y.txt", "*?Y.TXT"));
  EXPECT_FALSE(MatchName("xay.txt", "*?Y.TXT"));
  EXPECT_FALSE(MatchName("xy", "X**"));
  EXPECT_TRUE(MatchName("x*", "X**"));
}

using test::Native;

TEST(SyncMatchPathTail, LastComponentAnywhere) {
  std::string temp = NormaliseExclusion("TEMP");
  EXPECT_TRUE(MatchPathTail(Native("/data/temp"), temp));
  EXPECT_TRUE(MatchPathTail(Native("/temp"), temp));
  EXPECT_FALSE(MatchPathTail(Native("/data/mytemp"), temp));
  EXPECT_FALSE(MatchPathTail(Native("/data/temp.old"), temp));
  EXPECT_FALSE(MatchPathTail(Native("/temp/x"), temp));
}

TEST(SyncMatchPathTail, RootAnchoredEntryFitsOnlyDirectlyBelowTheRoot) {
  for (const char* written : {"\\TEMP", "/TEMP"}) {
    std::string temp = NormaliseExclusion(written);
    EXPECT_TRUE(MatchPathTail(Native("/temp"), temp)) << written;
    EXPECT_TRUE(MatchPathTail(Native("/TEMP"), temp)) << written;
    EXPECT_FALSE(MatchPathTail(Native("/data/temp"), temp)) << written;
  }
}

TEST(SyncMatchPathTail, ExtensionPatternsAndDirectoryParts) {
  std::string bak = NormaliseExclusion("*.BAK");
  EXPECT_TRUE(MatchPathTail(Native("/data/x.bak"), bak));
  EXPECT_TRUE(MatchPathTail(Native("/data/sub/Y.Bak"), bak));
  EXPECT_FALSE(MatchPathTail(Native("/data/x.bak2"), bak));
  std::string subTmp = NormaliseExclusion("SUB\\*.TMP");
  EXPECT_TRUE(MatchPathTail(Native("/data/sub/a.tmp"), subTmp));
  EXPECT_FALSE(MatchPathTail(Native("/data/other/a.tmp"), subTmp));
  EXPECT_FALSE(MatchPathTail(Native("/data/mysub/a.tmp"), subTmp));
}

TEST(SyncMatchPathTail, EitherSeparatorIsTakenAsThePlatformsOwn) {
  std::string sep(1, platform::PathSeparator());
  std::string path = sep + "data" + sep + "sub" + sep + "inner" + sep + "a.tmp";
  EXPECT_TRUE(MatchPathTail(path, NormaliseExclusion("sub/inner\\*.tmp")));
  EXPECT_TRUE(MatchPathTail(path, NormaliseExclusion("sub\\inner/*.tmp")));
  EXPECT_FALSE(MatchPathTail(path, NormaliseExclusion("/data/sub")));
  EXPECT_TRUE(MatchPathTail(sep + "data" + sep + "sub", NormaliseExclusion("/data/sub")));
}

TEST(SyncMatchPathTail, AbsoluteEntryFitsThatPathOnly) {
  std::string exact = NormaliseExclusion(Native("/DATA/MIRROR"));
  EXPECT_TRUE(MatchPathTail(Native("/data/mirror"), exact));
  EXPECT_FALSE(MatchPathTail(Native("/other/data/mirror"), exact));
  EXPECT_FALSE(MatchPathTail(Native("/data/mirror2"), exact));
}

TEST(SyncMatchPathTail, SharePathIsTakenFromBelowTheShare) {
  EXPECT_TRUE(MatchPathTail(Native("//server/share/temp"), Native(":/TEMP")));
  EXPECT_FALSE(MatchPathTail(Native("//server/share/dir/temp"), Native(":/TEMP")));
  // Without the separator after the share name the path stays as it is.
  EXPECT_FALSE(MatchPathTail(Native("//server"), Native(":/SERVER")));
}

TEST(SyncNormaliseExclusion, PrefixesAndKeepsDrivesAndShares) {
  EXPECT_EQ(NormaliseExclusion("TEMP"), Native("/TEMP"));
  EXPECT_EQ(NormaliseExclusion("\\TEMP"), Native(":/TEMP"));
  EXPECT_EQ(NormaliseExclusion("sub\\*.tmp"), Native("/sub/*.tmp"));
  EXPECT_EQ(NormaliseExclusion("C:\\DATA\\TMP"), Native("C:/DATA/TMP"));
  EXPECT_EQ(NormaliseExclusion("\\\\SERVER\\SHARE\\TMP"), Native("//SERVER/SHARE/TMP"));
}

TEST(SyncNormaliseExclusion, ListsAreRewrittenInPlace) {
  SyncRequest request;
  request.excludeDir = {"TEMP", Native("/ROOTED")};
  request.excludeFile = {"*.BAK"};
  NormaliseExcludeLists(request);
  EXPECT_EQ(request.excludeDir, (std::vector<std::string>{Native("/TEMP"), Native(":/ROOTED")}));
  EXPECT_EQ(request.excludeFile, (std::vector<std::string>{Native("/*.BAK")}));
}

TEST(SyncReservedName, ConflictFilesAndTemporariesInAnyCase) {
  EXPECT_TRUE(IsReservedName("!SYN0000.TXT"));
  EXPECT_TRUE(IsReservedName("!syn0001.doc"));
  EXPECT_TRUE(IsReservedName("!SYN~a1b2c3"));
  EXPECT_FALSE(IsReservedName("SYN0000.TXT"));
  EXPECT_FALSE(IsReservedName("!SY"));
}

}  // namespace
}  // namespace tav::sync
