// Running a built program on Windows (and under Wine): CreateProcessA in the
// chosen folder, standard input from NUL, standard output read through a pipe,
// standard error left to the test's own.
//
// - A program path that starts with "/" is a Unix path handed over by the
//   build (the cross build runs under Wine); Wine's drive Z: is the Unix root,
//   so "/a/b.exe" becomes "Z:\a\b.exe". Windows paths pass unchanged.
//   Arguments pass unchanged, quoted so that the C runtime's command-line
//   parser gives the program exactly the strings given.
// - Extra environment variables are set in this process just for the start of
//   the child, which inherits them, and put back right after.
// - The exit code is the 32-bit value Windows reports, read as int, so
//   exit(-1) comes back as -1.
// - The console of a Windows program is in text mode: each "\n" it prints
//   arrives as "\r\n". The output is returned with every "\r\n" turned back
//   into "\n", so tests compare the same text on every platform; a lone "\r"
//   is kept.
#include <windows.h>

#include <optional>
#include <stdexcept>

#include "TestSupport.h"

namespace testsupport {

namespace {

std::string HostPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::optional<std::string> GetEnv(const std::string& name) {
    DWORD n = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::string value(n, '\0');
    n = ::GetEnvironmentVariableA(name.c_str(), value.data(), n);
    value.resize(n);
    return value;
}

// Sets variables for the lifetime of the object, then restores them.
class EnvOverride {
public:
    explicit EnvOverride(const std::vector<std::pair<std::string, std::string>>& env) {
        for (const auto& [name, value] : env) {
            saved_.emplace_back(name, GetEnv(name));
            ::SetEnvironmentVariableA(name.c_str(), value.c_str());
        }
    }
    ~EnvOverride() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            ::SetEnvironmentVariableA(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    HANDLE* out() { return &h_; }
    void Close() {
        if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_;
};

// Quotes one argument for the C runtime's parser: inside quotes, a run of
// backslashes is literal unless a quote follows, where each backslash and the
// quote are escaped with a backslash.
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < arg.size() && arg[i] == '\\') {
            ++i;
            ++backslashes;
        }
        if (i == arg.size()) {
            out.append(backslashes * 2, '\\');
            break;
        }
        if (arg[i] == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        out += arg[i];
    }
    out += '"';
    return out;
}

std::string CrLfToLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::filesystem::path& workDir,
                     const std::vector<std::pair<std::string, std::string>>& env,
                     const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;

    Handle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    Handle nul(::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr));

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul.get();
    si.hStdOutput = writeEnd.get();
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);

    std::string exe = HostPath(program);
    std::string commandLine = "\"" + exe + "\"";
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += QuoteArgument(arg);
    }
    std::string dir = HostPath(workDir.string());
    PROCESS_INFORMATION pi{};
    {
        EnvOverride vars(env);
        if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              dir.c_str(), &si, &pi))
            throw std::runtime_error("cannot start " + exe + " (error " +
                                     std::to_string(::GetLastError()) + ")");
    }
    Handle process(pi.hProcess), thread(pi.hThread);
    writeEnd.Close();  // the child holds the only write end now

    std::string raw;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(readEnd.get(), buf, sizeof buf, &n, nullptr) && n > 0) raw.append(buf, n);

    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);

    RunResult result;
    result.exitCode = static_cast<int>(code);
    result.output = CrLfToLf(raw);
    return result;
}

}  // namespace testsupport
