#include "lu/Commands.h"

#include <cstdio>

namespace ulmaro::lu {

int runScan(const Invocation&) {
    std::fputs("not available yet\n", stderr);
    return 1;
}

} // namespace ulmaro::lu
