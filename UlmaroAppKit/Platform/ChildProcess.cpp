#include "UlmaroAppKit/Platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ulmaro {
namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The child ends whenever it likes; a thread of its own waits for that.
void reapWhenItEnds(pid_t pid) {
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

bool holdsNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

} // namespace

std::optional<std::string> findProgram(std::string_view name) {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string_view::npos) {
        std::string path(name);
        return isExecutableFile(path) ? std::optional(path) : std::nullopt;
    }
    const char* searchPath = std::getenv("PATH");
    std::string_view dirs = searchPath != nullptr ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        const auto colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        if (dir.empty()) continue; // the current folder is no place to find programs
        std::string candidate(dir);
        candidate += '/';
        candidate += name;
        if (isExecutableFile(candidate)) return candidate;
    }
    return std::nullopt;
}

bool spawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::optional<std::string>& workingDirectory) {
    if (arguments.empty() || holdsNul(program)) return false;
    for (const auto& argument : arguments)
        if (holdsNul(argument)) return false;
    if (workingDirectory && holdsNul(*workingDirectory)) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (workingDirectory) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory->c_str());

    // A fresh session with default signals: closing the app must not take the child.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    argv.reserve(copies.size() + 1);
    for (auto& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return false;
    reapWhenItEnds(pid);
    return true;
}

} // namespace ulmaro
