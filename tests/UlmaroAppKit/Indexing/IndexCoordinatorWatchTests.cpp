#include "UlmaroAppKit/Indexing/IndexCoordinator.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(IndexCoordinatorNoise, HighChurnFragmentsMatchAnywhereWithBothSlashes) {
    struct Case {
        const char* path;
        bool noise;
    };
    const Case cases[] = {
        {"/home/a/project/node_modules/x.js", true},
        {"/home/a/Library/Caches/app/blob", true},
        {"/home/a/Caches.txt", false},
        {"/home/a/Caches", false},
        {"/home/a/caches/x", false}, // case-sensitive
        {"/home/a/src/.git/objects/ab/cd", true},
        {"/home/a/src/.gitignore", false},
        {"/home/a/.cache/fontconfig/x", true},
        {"/home/a/.cache", false},
        {"/home/a/.local/share/Trash/files/old.txt", true},
        {"/media/usb/.Trash-1000/files/old.txt", true},
        {"/home/a/py/__pycache__/m.pyc", true},
        {"/home/a/ios/Pods/Lib/a.h", true},
        {"/home/a/web/.next/cache/x", true},
        {"/home/a/.venv/lib/x.py", true},
        {"/home/a/.gradle/caches/x", true},
        {"/home/a/DerivedData/x", true},
        {"/home/a/Documents/report.pdf", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IndexCoordinator::isHighChurnNoise(c.path), c.noise) << c.path;
    }
}

} // namespace
} // namespace ulmaro
