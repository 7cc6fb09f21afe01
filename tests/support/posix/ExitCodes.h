#pragma once
// exit(-1) as a POSIX parent sees it: the low eight bits.
constexpr int kFatalExitCode = 255;
