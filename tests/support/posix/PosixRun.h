// Running a built program under conditions only a POSIX host can set.
#pragma once

#include <cstddef>

#include "TestSupport.h"

namespace testsupport {

// RunProgram with a limit on the size of every file the program writes
// (RLIMIT_FSIZE): a write past it falls short as on a full disk.
RunResult RunProgramWithFileSizeLimit(const std::string& program, const std::filesystem::path& workDir,
                                      const std::vector<std::pair<std::string, std::string>>& env,
                                      std::size_t limitBytes);

}  // namespace testsupport
