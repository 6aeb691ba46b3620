#include "UlmaroApp/LoggingOpener.h"

#include "UlmaroApp/TestMode.h"

namespace ulmaro {

void LoggingOpener::open(const std::string& path) {
    TestMode::appendLine(file_, path);
}

} // namespace ulmaro
