// Stand-ins for subcommands that live in their own files; a real definition in another
// file of the tool replaces each of these at link time.
#include "lu/Commands.h"

#include <cstdio>

namespace ulmaro::lu {
namespace {

int notAvailable() {
    std::fputs("not available yet\n", stderr);
    return 1;
}

} // namespace

// Those that read the name index open it first, as the real ones do.
[[gnu::weak]] int runSearch(const Invocation& invocation) {
    openIndexOrExit(invocation);
    return notAvailable();
}
[[gnu::weak]] int runBench(const Invocation& invocation) {
    openIndexOrExit(invocation);
    return notAvailable();
}
[[gnu::weak]] int runMeasure(const Invocation& invocation) {
    openIndexOrExit(invocation);
    return notAvailable();
}
[[gnu::weak]] int runContent(const Invocation&) {
    return notAvailable();
}
[[gnu::weak]] int runFind(const Invocation&) {
    return notAvailable();
}

} // namespace ulmaro::lu
