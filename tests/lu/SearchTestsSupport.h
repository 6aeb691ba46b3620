#pragma once

// Running the real lu binary against an index written into a private data folder.

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "lu/RunLu.h"
#include "support/TempDir.h"

#include <sstream>
#include <string>
#include <vector>

namespace ulmaro::test {

/// What lu printed on standard output, line by line.
inline std::vector<std::string> outLines(const LuRun& run) {
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

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
        return runLu(args,
                     {{"XDG_DATA_HOME", dataHome().string()}, {"HOME", dir_.path().string()}});
    }

private:
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
