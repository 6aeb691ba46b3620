#include "lu/Commands.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ulmaro::lu {

namespace {

std::string messageFor(const RebuildReason& reason, const std::string& path) {
    using Kind = RebuildReason::Kind;
    switch (reason.kind) {
    case Kind::missing:
        return "No index found at " + path + ". Run `lu scan` to build one.";
    case Kind::corrupt:
        return "Index file is corrupt. Run `lu scan` to rebuild it.";
    case Kind::truncated:
        return "Index file is incomplete (a previous scan may have been interrupted). Run `lu "
               "scan` to rebuild it.";
    case Kind::badMagic:
        return "File at " + path + " is not a valid Ulmaro index.";
    case Kind::tooManyVolumes:
        return "Index references more volumes than this build supports. Run `lu scan` to "
               "rebuild it.";
    case Kind::versionMismatch:
        return "Index format v" + std::to_string(reason.found) + " doesn't match this build (v" +
               std::to_string(reason.expected) + "). Run `lu scan` to rebuild it.";
    }
    return "Index file is corrupt. Run `lu scan` to rebuild it.";
}

} // namespace

std::shared_ptr<const IndexStore> openIndexOrExit(const Invocation& invocation) {
    IndexLoadOutcome outcome = loadIndex(invocation.indexPath);
    if (outcome.isLoaded()) return std::move(outcome.store);
    const std::string message = messageFor(outcome.reason, invocation.indexPath.string()) + "\n";
    std::fflush(stdout);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::exit(1);
}

} // namespace ulmaro::lu
