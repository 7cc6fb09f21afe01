// Running against a registry file on POSIX hosts: the file is the registry
// of the platform layer's stand-in, named by SKINKIT_REGISTRY.
#include "RegistryFile.h"

namespace testsupport {

RunResult RunWithRegistryFile(const std::string& program, const std::filesystem::path& workDir,
                              const std::filesystem::path& registryFile,
                              const std::vector<std::string>& /*watchedKeys*/,
                              const std::vector<std::pair<std::string, std::string>>& env) {
    auto all = env;
    all.emplace_back("SKINKIT_REGISTRY", registryFile.string());
    return RunProgram(program, workDir, all);
}

}  // namespace testsupport
