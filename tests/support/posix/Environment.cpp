// The test process's environment on POSIX hosts: setenv and unsetenv.
#include <cstdlib>

#include "TestSupport.h"

namespace testsupport {

void SetEnvVar(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnvVar(const std::string& name) { ::unsetenv(name.c_str()); }

}  // namespace testsupport
