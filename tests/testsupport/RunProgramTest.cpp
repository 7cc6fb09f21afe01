// RunProgram and fatal-exit checks behave the same on POSIX and on Windows
// (under Wine too): output with "\n" line ends, arguments as given, the exit
// code as the platform reports it, variables reaching the child only, the
// chosen folder, and a death test's statement working in the test's folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

#include "TestSupport.h"

using namespace testsupport;

namespace {

struct ExitCase {
    const char* given;
    int expected;
};

// Names the case in test listings by the exit code the probe is given.
void PrintTo(const ExitCase& c, std::ostream* os) { *os << "exit(" << c.given << ")"; }

class RunProgramExit : public testing::TestWithParam<ExitCase> {};

}  // namespace

TEST(RunProgram, OutputHasLfLineEndsAndKeepsLoneCarriageReturns) {
    ScratchDir dir;
    RunResult r = RunProgram(PROBE_EXE, dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "probe\na\rb\ntext=\nfile=\n");
}

TEST(RunProgram, RunsInTheGivenFolderWithTheGivenVariables) {
    ScratchDir dir;
    WriteBytes(dir / "input.txt", "from the folder\r\n");
    RunResult r = RunProgram(PROBE_EXE, dir.path(), {{"PROBE_TEXT", "hello world"}});
    EXPECT_EQ(r.output, "probe\na\rb\ntext=hello world\nfile=from the folder\n");
    // The variable was set for the child only.
    EXPECT_EQ(std::getenv("PROBE_TEXT"), nullptr);
}

TEST(RunProgram, PassesArgumentsExactly) {
    ScratchDir dir;
    RunResult r = RunProgram(PROBE_EXE, dir.path(), {},
                             {"plain", "two words", "say \"hi\"", "ends\\", "a\\\"b", "", "c:\\x y\\"});
    EXPECT_EQ(r.output,
              "probe\na\rb\ntext=\nfile=\n"
              "arg=[plain]\narg=[two words]\narg=[say \"hi\"]\narg=[ends\\]\narg=[a\\\"b]\narg=[]\n"
              "arg=[c:\\x y\\]\n");
}

TEST_P(RunProgramExit, ReportsTheExitCodeAsThePlatformDoes) {
    ScratchDir dir;
    RunResult r = RunProgram(PROBE_EXE, dir.path(), {{"PROBE_EXIT", GetParam().given}});
    EXPECT_EQ(r.exitCode, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, RunProgramExit,
                         testing::Values(ExitCase{"0", 0}, ExitCase{"3", 3},
                                         ExitCase{"-1", kFatalExitCode}));

TEST(FatalExit, DeathTestSeesMinusOneAsTheFatalExitCode) {
    EXPECT_EXIT(std::exit(-1), testing::ExitedWithCode(kFatalExitCode), "");
}

TEST(FatalExit, DeathTestStatementWritesIntoTheTestsFolder) {
    ScratchDir dir;
    DeathTestFolder shared(dir.path());
    EXPECT_EXIT(
        {
            WriteBytes(shared.path() / "left.txt", "by the child");
            std::exit(-1);
        },
        testing::ExitedWithCode(kFatalExitCode), "");
    EXPECT_EQ(ReadBytes(dir / "left.txt"), "by the child");
}
