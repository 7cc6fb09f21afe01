// Running a program against a registry described by a REGEDIT4 text file, on
// every platform, so that one test reads and checks the same file everywhere.
//
// The file holds local machine keys only:
//     REGEDIT4
//     <empty line>
//     [HKEY_LOCAL_MACHINE\Software\Tarnwick\Gravelmax]
//     "Installpath"="C:\\Games\\Gravelmax"
// with "\" and "\"" escaped by a backslash inside quotes.
//
// - POSIX: the file is the program's registry itself (the platform layer's
//   stand-in reads and writes the file named by SKINKIT_REGISTRY).
// - Windows (and Wine): the file's keys, and the watched keys, are cleared
//   and the file's values written into the host registry's 32-bit view, as a
//   32-bit game installer leaves them; the program runs; when what it left in
//   those keys differs from the file, the file is rewritten from the registry
//   (same format); then the keys are removed again. The registry is shared by
//   all tests that run at once: such tests hold the CTest resource lock
//   "registry" (skinkit_add_test(... PROPERTIES RESOURCE_LOCK registry)).
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

// watchedKeys: keys the program may create that the file need not name, as
// "HKEY_LOCAL_MACHINE\..." like the file's section lines.
RunResult RunWithRegistryFile(const std::string& program, const std::filesystem::path& workDir,
                              const std::filesystem::path& registryFile,
                              const std::vector<std::string>& watchedKeys,
                              const std::vector<std::pair<std::string, std::string>>& env = {});

}  // namespace testsupport
