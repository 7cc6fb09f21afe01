// The registry sandbox on POSIX hosts: SKINKIT_REGISTRY points at a file in a
// scratch folder for the test's lifetime, then gets its old value back.
#include "RegistrySandbox.h"

#include <cstdlib>

RegistrySandbox::RegistrySandbox() : file_(dir_ / "registry.reg") {
    if (const char* old = std::getenv("SKINKIT_REGISTRY")) {
        saved_ = old;
        hadSaved_ = true;
    }
    ::setenv("SKINKIT_REGISTRY", file_.c_str(), 1);
}

RegistrySandbox::~RegistrySandbox() {
    if (hadSaved_) ::setenv("SKINKIT_REGISTRY", saved_.c_str(), 1);
    else ::unsetenv("SKINKIT_REGISTRY");
}
