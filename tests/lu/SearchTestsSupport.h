#pragma once

// Running the real lu binary against an index written into a private data folder.

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ulmaro::test {

struct LuRun {
    int status = -1;
    std::string out;
    std::string err;

    std::vector<std::string> outLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

/// A data folder (XDG_DATA_HOME) for one test, and the lu runs against it.
class LuSandbox {
public:
    std::filesystem::path dataHome() const { return dir_ / "data"; }
    std::filesystem::path indexPath() const { return dataHome() / "Ulmaro" / "index.bin"; }

    /// Writes "index.bin" from a builder.
    void writeIndex(const IndexBuilder& builder) const {
        IndexWriter::write(builder, {}, indexPath());
    }

    LuRun run(const std::vector<std::string>& args) const {
        const auto outPath = dir_ / "stdout";
        const auto errPath = dir_ / "stderr";
        // Everything the child needs is made before fork: it only opens, dups and execs.
        std::string program = ULMARO_LU_PATH;
        std::vector<std::string> copies = args;
        std::vector<char*> argv{program.data()};
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment = {"XDG_DATA_HOME=" + dataHome().string(),
                                                "HOME=" + dir_.path().string(), "LC_ALL=C.UTF-8"};
        if (const char* path = std::getenv("PATH"))
            environment.push_back(std::string("PATH=") + path);
        std::vector<char*> envp;
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const pid_t pid = ::fork();
        if (pid == 0) {
            int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
            ::execve(program.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(outPath), slurp(errPath)};
    }

private:
    static std::string slurp(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    TempDir dir_;
};

/// Appends the root record and one folder record per component of `folder` (an absolute
/// path), as a scan does, and returns the ID of the last one.
inline std::uint32_t addFolderChain(IndexBuilder& builder, const std::filesystem::path& folder) {
    std::uint32_t parent =
        builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    for (const auto& part : folder.relative_path()) {
        parent = builder.addEntry(part.string(), parent, RecordFlags::isDirectory, 0);
    }
    return parent;
}

} // namespace ulmaro::test
