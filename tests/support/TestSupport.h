// Helpers shared by the test suites: scratch folders, whole-file reads and
// writes, and running a built program in a folder of the test's choosing.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ExitCodes.h"

namespace testsupport {

using Bytes = std::string;  // file contents, byte for byte

// A fresh empty folder, removed with everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, const Bytes& data);
Bytes ReadBytes(const std::filesystem::path& file);  // empty when missing
bool FileExists(const std::filesystem::path& file);

// Runs a set of statements with the working folder changed, restoring it.
class WorkingDir {
public:
    explicit WorkingDir(const std::filesystem::path& dir);
    ~WorkingDir();

private:
    std::filesystem::path saved_;
};

// Names the test's own folder to the statement of a death test. The statement
// runs in a child process: on POSIX a fork that shares the test's state, on
// Windows a fresh run of the test program that repeats the test up to the
// statement, with a scratch folder of its own. A statement that leaves files
// for the test to check afterwards writes them below path(), which is the
// folder given by the test that started the death test, in every process.
// Create the object in the test body before EXPECT_EXIT/EXPECT_DEATH.
class DeathTestFolder {
public:
    explicit DeathTestFolder(const std::filesystem::path& testFolder);
    ~DeathTestFolder();
    DeathTestFolder(const DeathTestFolder&) = delete;
    DeathTestFolder& operator=(const DeathTestFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool owner_ = false;  // this object set the variable the child reads
};

// Sets or removes a variable of this process's environment, where the C
// runtime's getenv and programs started from here see it.
void SetEnvVar(const std::string& name, const std::string& value);
void UnsetEnvVar(const std::string& name);

struct RunResult {
    int exitCode = 0;     // as the platform reports it (see ExitCodes.h)
    std::string output;   // standard output, byte for byte
};

// Runs program in workDir with extra environment variables set and the given
// command-line arguments, and collects its standard output. Standard input is
// empty.
RunResult RunProgram(const std::string& program, const std::filesystem::path& workDir,
                     const std::vector<std::pair<std::string, std::string>>& env = {},
                     const std::vector<std::string>& args = {});

}  // namespace testsupport
