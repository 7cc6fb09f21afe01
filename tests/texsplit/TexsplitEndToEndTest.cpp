#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace testsupport;

TEST(TexsplitEndToEnd, MissingFirstTexture) {
    ScratchDir dir;
    RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());
    EXPECT_EQ(r.exitCode, kFatalExitCode);
    EXPECT_EQ(r.output,
              "---------------------------------------------------------\n"
              "---     Gravelmax Skin Kit - TGA converter  v1.0      ---\n"
              "---          Gravelmax Skin Kit developers            ---\n"
              "---------------------------------------------------------\n\n"
              "--->\tConvert: t9.tex.big.tga -> t9.tga & t9_op.tga\t"
              "[ERROR]\n***\tERROR: 't9.tex.big.tga' not found!\n");
}
