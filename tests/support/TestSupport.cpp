#include "TestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = fs::temp_directory_path() / "skinkit-tests";
    fs::create_directories(base);
    for (;;) {
        std::string name = "t";
        name += std::to_string(stamp);
        name += '-';
        name += std::to_string(rd());
        name += '-';
        name += std::to_string(counter++);
        fs::path p = base / name;
        if (fs::create_directory(p)) {
            path_ = p;
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void WriteBytes(const fs::path& file, const Bytes& data) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + file.string());
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool FileExists(const fs::path& file) { return fs::exists(file); }

namespace {
// Carries the folder from the test to a death test's child process.
constexpr const char* kDeathTestFolderVar = "SKINKIT_DEATH_TEST_FOLDER";
}  // namespace

DeathTestFolder::DeathTestFolder(const fs::path& testFolder) {
    if (const char* inherited = std::getenv(kDeathTestFolderVar); inherited && *inherited) {
        path_ = inherited;  // a death test's child: the starting test's folder
    } else {
        path_ = fs::absolute(testFolder);
        SetEnvVar(kDeathTestFolderVar, path_.string());
        owner_ = true;
    }
}

DeathTestFolder::~DeathTestFolder() {
    if (owner_) UnsetEnvVar(kDeathTestFolderVar);
}

WorkingDir::WorkingDir(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
WorkingDir::~WorkingDir() { fs::current_path(saved_); }

}  // namespace testsupport
