// Checking a program without running it: the findings, their order and exit
// code, and the rules whose edges the end-to-end cases do not reach.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/messages.h"
#include "run/check.h"
#include "test_support.h"

namespace tav {
namespace {

using Strings = std::vector<std::string>;

// The findings of a check of text, printed for the file "p".
Strings Check(const std::string& text) {
  test::Machine m;
  m.st.programText = text + "\n";
  CheckReport report;
  m.st.check = &report;
  CheckProgram(m.st, report);
  Strings lines;
  for (const CheckFinding& finding : report.Findings()) lines.push_back(FormatFinding("p", finding));
  return lines;
}

TEST(CheckReport, FindingsComeInLineOrderAndTheLastErrorGivesTheExitCode) {
  CheckReport report;
  report.Warning(9, "late warning");
  report.Error(7, kErrSyntax, "seven");
  report.Error(3, kErrRegCreateOpen, "three", kErrRegOpen);
  report.Warning(7, "after seven");
  std::vector<CheckFinding> findings = report.Findings();
  ASSERT_EQ(findings.size(), 4u);
  EXPECT_EQ(findings[0].text, "three");
  EXPECT_EQ(findings[1].text, "seven");
  EXPECT_EQ(findings[2].text, "after seven");
  EXPECT_EQ(report.ExitCode(), kErrSyntax);

  CheckReport onlyEarly;
  onlyEarly.Error(3, kErrRegCreateOpen, "three", kErrRegOpen);
  onlyEarly.Warning(4, "warning");
  EXPECT_EQ(onlyEarly.ExitCode(), kErrRegOpen);
  EXPECT_EQ(CheckReport().ExitCode(), 0);
}

TEST(CheckReport, ReportsTakeTheSubjectAndARepeatedReportShowsOnce) {
  CheckReport report;
  report.SetSubject("RegDeleteKey");
  report.Reported(4, kErrRegCreateOpen);
  report.Reported(4, kErrRegCreateOpen);
  report.Reported(4, kErrRegDelete);
  Strings lines;
  for (const CheckFinding& finding : report.Findings()) lines.push_back(FormatFinding("a.tav", finding));
  EXPECT_EQ(lines, (Strings{"a.tav:4: error 13: RegDeleteKey: Registry key could not be created/opened error",
                            "a.tav:4: error 16: RegDeleteKey: Registry key could not be deleted"}));
}

TEST(CheckProgram, ACleanProgramHasNoFindings) {
  EXPECT_EQ(Check("Echo hi\nIf a = a Then\n  Goto end\nEnd If\nend:\nEcho bye"), Strings{});
}

TEST(CheckProgram, AGotoWithoutItsLabelLeavesTheNextLineReachable) {
  EXPECT_EQ(Check("Goto nowhere\nEcho next"),
            (Strings{"p:1: warning: Goto: there is no label \"nowhere\"; the run goes on with the next line [missing-label]"}));
}

// The lines after a Goto stay unreachable through a whole nested block; the
// End If of the Goto's own block ends the stretch, and one warning covers it.
TEST(CheckProgram, UnreachableStretchRunsThroughNestedBlocksToItsOwnEndIf) {
  EXPECT_EQ(Check("If a = b Then\n"
                  "  Goto out\n"
                  "  If c = d Then\n"
                  "    Echo x\n"
                  "  Else\n"
                  "    Echo y\n"
                  "  End If\n"
                  "  Echo z\n"
                  "End If\n"
                  "Echo reached\n"
                  "out:"),
            (Strings{"p:3: warning: this statement never runs: it follows the Goto in line 2, and no label line comes "
                     "between [unreachable]"}));
}

// An If that does not parse leaves the state as it was: inside a running
// branch its Else scans on; at the top level the Else is a mismatch.
TEST(CheckProgram, ElseAfterAnUnreadableIfDependsOnTheBranchAroundIt) {
  EXPECT_EQ(Check("If a = a Then\n  If x Then\n  Else\n  End If\nEnd If"),
            (Strings{"p:2: error 2: If: Command construction error"}));
  EXPECT_EQ(Check("If x Then\nElse\nEnd If"),
            (Strings{"p:1: error 2: If: Command construction error",
                     "p:2: error 5: Else: IF/ELSE Mismatch error (the If before it has no condition that could be "
                     "read)"}));
}

TEST(CheckProgram, AnIfWithoutEndIfIsReportedWhereItsScanStarts) {
  EXPECT_EQ(Check("If a = b Then\nEcho x"),
            (Strings{"p:1: error 5: If: IF/ELSE Mismatch error (no End If closes the If in line 1)"}));
  EXPECT_EQ(Check("If a Then\nEcho x"), (Strings{"p:1: error 2: If: Command construction error"}));
}

// The lines that a statement's parser takes in are not checked again, and
// the lines after them keep their numbers.
TEST(CheckProgram, LinesThatAStatementTakesInAreNotStatements) {
  EXPECT_EQ(Check("SynchronizeDir\n  From a\n  To b\n  Add\nEnd SynchronizeDir\nIniDeleteSection x"),
            (Strings{"p:6: error 2: IniDeleteSection: Command construction error"}));
  EXPECT_EQ(Check("RegDeleteKey \\\\SERVER Software\n    \\Sub\nPause x"),
            (Strings{"p:2: error 13: RegDeleteKey: Registry key could not be created/opened error",
                     "p:2: error 16: RegDeleteKey: Registry key could not be deleted",
                     "p:3: error 2: Pause: Command construction error"}));
}

TEST(CheckProgram, LabelsThatLookLikeStatementsButNotOrdinaryOnes) {
  EXPECT_EQ(Check("CDROM:\nC:\nStart Here:\nEndIf:"),
            (Strings{"p:4: warning: \"EndIf:\" is a label line and never runs, but an If or Else that passes over it "
                     "takes it for Endif [label-scanned]"}));
}

// A first word that only begins with a statement's name is taken for it.
TEST(CheckProgram, WordsThatBeginWithAStatementNameAreTakenForIt) {
  EXPECT_EQ(Check("CDROM.EXE\nEcho.\nEndif\nEcho x\nEcho"),
            (Strings{"p:1: warning: \"CDROM.EXE\" is taken for the statement CD, whose name it begins with [glued-name]",
                     "p:2: warning: \"Echo.\" is taken for the statement Echo, whose name it begins with [glued-name]",
                     "p:3: error 7: Endif: \"IF\"-\"END IF\" or \"IF\"-\"ELSE\" mismatch error (no If is open)"}));
}

TEST(CheckProgram, UnsetVariablesAreNamedAndSetOnesExpand) {
  ::setenv("TAV32_CHECK_SET", "value", 1);
  ::unsetenv("TAV32_CHECK_UNSET");
  EXPECT_EQ(Check("Echo %TAV32_CHECK_SET%\nEcho %TAV32_CHECK_UNSET% and %%\n; %TAV32_CHECK_UNSET%"),
            (Strings{"p:2: warning: \"%TAV32_CHECK_UNSET%\" names no environment variable that is set now; it stays "
                     "in the line as written [unset-variable]"}));
}

// With OUTPUT the findings go through the output window, marked so that
// errors show red and warnings blue; the LOG file gets them without marks.
TEST(CheckProgramFile, OutputWindowGetsMarkedLinesAndTheLogFilePlainOnes) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Goto nowhere\nElse\n");
  test::Machine m;
  CommandLine commandLine{dir.file("p.tav"), {"CHECK", "OUTPUT", "LOG " + dir.file("run.log")}};
  EXPECT_EQ(CheckProgramFile(m.st, commandLine), kErrIfElseMismatch);
  std::string file = dir.file("p.tav");
  std::string warning = file + ":1: warning: Goto: there is no label \"nowhere\"; the run goes on with the next line [missing-label]\n";
  std::string error = file + ":2: error 5: Else: IF/ELSE Mismatch error (no If is open for this Else)\n";
  EXPECT_EQ(m.ui.output, std::string(1, kInfoMarker) + warning + std::string(1, kErrorMarker) + error);
  EXPECT_EQ(test::ReadFile(dir.file("run.log")), warning.substr(0, warning.size() - 1) + "\r\n" +
                                                     error.substr(0, error.size() - 1) + "\r\n");
  EXPECT_EQ(m.st.check, nullptr);
}

}  // namespace
}  // namespace tav
