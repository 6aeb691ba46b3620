#pragma once

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Scanning/ScanRootIdentity.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ulmaro::lu {

/// One run of the tool: the subcommand's arguments and the two files it may touch.
struct Invocation {
    std::vector<std::string> args;          // arguments after the subcommand name
    std::filesystem::path indexPath;        // DataLocations::indexPath()
    std::filesystem::path contentIndexPath; // DataLocations::contentIndexPath()
};

// Each subcommand returns the run's exit status.
int runScan(const Invocation& invocation);
/// Whether the scan root is still the folder the walk began in: 0, or the errno saying why
/// not (`ScanRootIdentity::recheck` unless a test stands in).
using RootRecheck = std::function<int(const ScanRootIdentity& identity, const std::string& root)>;
int runScan(const Invocation& invocation, const RootRecheck& recheck);
int runSearch(const Invocation& invocation);
int runContent(const Invocation& invocation);
int runContent(const Invocation& invocation, const RootRecheck& recheck);
int runFind(const Invocation& invocation);
int runBench(const Invocation& invocation);
int runMeasure(const Invocation& invocation);

/// The name index mapped from `invocation.indexPath`. When it cannot be used, writes the
/// reason to standard error and ends the process with status 1.
std::shared_ptr<const IndexStore> openIndexOrExit(const Invocation& invocation);

/// The usage text, on standard output.
void printUsage();

} // namespace ulmaro::lu
