// The test process's environment on Windows: _putenv_s changes the C runtime's
// copy, which getenv reads, and the process's own, which child processes
// (death tests, RunProgram) inherit. An empty value removes the variable.
#include <cstdlib>

#include "TestSupport.h"

namespace testsupport {

void SetEnvVar(const std::string& name, const std::string& value) {
    ::_putenv_s(name.c_str(), value.c_str());
}

void UnsetEnvVar(const std::string& name) { ::_putenv_s(name.c_str(), ""); }

}  // namespace testsupport
