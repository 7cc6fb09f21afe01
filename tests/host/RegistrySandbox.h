// A registry of the test's own for the time of one test. Where the host keeps
// the registry in a file, a fresh scratch file is used and file() names it;
// on Windows the tests run in a private prefix, and file() is empty.
#pragma once

#include <filesystem>
#include <string>

#include "TestSupport.h"

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    const std::filesystem::path& file() const { return file_; }

private:
    testsupport::ScratchDir dir_;
    std::filesystem::path file_;
    std::string saved_;
    bool hadSaved_ = false;
};
