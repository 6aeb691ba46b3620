#pragma once

// Runs the real lu binary with a chosen environment and captures what it prints.

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ulmaro::test {

struct LuRun {
    int status = -1; // the exit status; -1 when lu did not exit normally
    std::string out;
    std::string err;
};

/// Runs lu with `args`, the process environment changed by `env` (an empty value
/// removes the variable) and, when given, `cwd` as working folder.
inline LuRun runLu(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {},
                   const std::filesystem::path& cwd = {}) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : env) {
        if (value.empty())
            merged.erase(name);
        else
            merged[name] = value;
    }
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : merged)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{ULMARO_LU_PATH};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : argStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    char outPath[] = "/tmp/ulmaro-lu-out-XXXXXX";
    char errPath[] = "/tmp/ulmaro-lu-err-XXXXXX";
    const int outFd = ::mkstemp(outPath);
    const int errFd = ::mkstemp(errPath);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("mkstemp failed");
    const std::string dir = cwd.string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(127);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ::close(outFd);
    ::close(errFd);
    auto slurp = [](const char* path) {
        std::ifstream in(path, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), {}};
        ::unlink(path);
        return text;
    };
    LuRun run;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    return run;
}

} // namespace ulmaro::test
