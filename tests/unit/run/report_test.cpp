// The report file of a run and of a dry run, on an INI program held in
// memory: one line per statement, the changes with their bytes kept, and the
// summary.
#include <gtest/gtest.h>

#include "run/run.h"
#include "test_support.h"

namespace tav {
namespace {

std::vector<std::string> ReportLines(bool whatIf, std::string& iniAfter) {
  test::TempDir dir;
  std::string ini = dir.file("app.ini");
  test::WriteFile(ini, "[S]\r\nk=1\r\n");
  test::Machine m("IniChangeLine " + ini + " [S] k=v\xe9\nEcho x\nIniDeleteSection " + ini + " [None]");
  m.st.options.whatIf = whatIf;
  m.st.options.reportPath = dir.file("report.jsonl");
  RunProgram(m.st);
  iniAfter = test::ReadFile(ini);
  std::vector<std::string> lines;
  std::string text = test::ReadFile(m.st.options.reportPath);
  for (size_t start = 0, lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1) {
    lines.push_back(text.substr(start, lf - start));
  }
  return lines;
}

TEST(ReportFile, RecordsEachStatementItsChangesAndTheRunInBothModes) {
  for (bool whatIf : {false, true}) {
    SCOPED_TRACE(whatIf ? "WHATIF" : "run");
    std::string iniAfter;
    std::vector<std::string> lines = ReportLines(whatIf, iniAfter);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(iniAfter, whatIf ? "[S]\r\nk=1\r\n" : "[S]\r\nk=v\xe9\r\n");
    // Text that is not UTF-8 keeps its bytes in hexadecimal beside it.
    for (const char* part : {"\"line\":1,\"statement\":\"IniChangeLine\"", "\"changed\":true", "\"key\":\"k\"",
                             "\"before\":\"1\"", "\"after\":\"v\xef\xbf\xbd\"", "\"after_hex\":\"76e9\"",
                             "-k=1\\n+k=v\xef\xbf\xbd\\n"}) {
      EXPECT_NE(lines[0].find(part), std::string::npos) << part << " in " << lines[0];
    }
    EXPECT_NE(lines[1].find("\"statement\":\"Echo\",\"text\":\"Echo x\",\"outcome\":\"ok\",\"error\":0,\"message\":\"\","
                            "\"changed\":false,\"changes\":[]"),
              std::string::npos);
    EXPECT_NE(lines[2].find("\"outcome\":\"failed\",\"error\":9,\"message\":\"Section does not exist error\""),
              std::string::npos);
    EXPECT_NE(lines[3].find(std::string("{\"record\":\"summary\",\"exit_code\":9,\"meaning\":\"Section does not "
                                        "exist error\",\"whatif\":") +
                            (whatIf ? "true" : "false") + ",\"statements\":3,\"changed\":1,\"failed\":1"),
              std::string::npos)
        << lines[3];
  }
}

}  // namespace
}  // namespace tav
