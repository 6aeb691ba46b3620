#include "UlmaroKit/Platform/DataLocations.h"
#include "lu/Commands.h"

#include <cstdio>
#include <string_view>

namespace ulmaro::lu {

void printUsage() {
    std::fputs("lu \u2014 Ulmaro engine CLI\n"
               "\n"
               "  lu scan [path]      Index a subtree (default: home directory)\n"
               "  lu search <query>   Search the current index\n"
               "  lu content [dirs]   Build the document content index (default: Documents,\n"
               "                       Desktop, Downloads)\n"
               "  lu find <text>      Search document CONTENTS, no name term needed\n"
               "  lu bench            Report index stats and query timings\n"
               "  lu measure          [diagnostic] Time matching and ranking separately\n"
               "                       for \"path:playground\" and \"a\" against the current\n"
               "                       index. Not a stable product surface -- exists for\n"
               "                       before/after perf comparisons; may change or be\n"
               "                       removed without notice.\n",
               stdout);
}

namespace {

struct Subcommand {
    std::string_view name;
    int (*run)(const Invocation&);
    bool needsWord; // refuses to start without at least one argument
};

constexpr Subcommand subcommands[] = {
    {"scan", runScan, false}, {"search", runSearch, true}, {"content", runContent, false},
    {"find", runFind, true},  {"bench", runBench, false},  {"measure", runMeasure, false},
};

} // namespace
} // namespace ulmaro::lu

int main(int argc, char** argv) {
    using namespace ulmaro::lu;
    if (argc < 2) {
        printUsage();
        return 1;
    }
    const std::string_view name = argv[1];
    for (const Subcommand& command : subcommands) {
        if (command.name != name) continue;
        if (command.needsWord && argc < 3) {
            printUsage();
            return 1;
        }
        Invocation invocation{{argv + 2, argv + argc},
                              ulmaro::DataLocations::indexPath(),
                              ulmaro::DataLocations::contentIndexPath()};
        return command.run(invocation);
    }
    printUsage();
    return 1;
}
