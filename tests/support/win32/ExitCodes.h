#pragma once
// exit(-1) as Windows reports it: the 32-bit code 0xFFFFFFFF, read as int.
constexpr int kFatalExitCode = -1;
