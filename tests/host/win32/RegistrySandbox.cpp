// The registry sandbox on Windows: the tests run in a private prefix, so the
// real registry is the sandbox and there is nothing to set up. Each test uses
// keys of its own names.
#include "RegistrySandbox.h"

RegistrySandbox::RegistrySandbox() = default;
RegistrySandbox::~RegistrySandbox() = default;
