#pragma once
#include <string>

// Where the tests find the source tree (golden files) and the build tree
// (the executables under test). Both come from the ctest environment.
std::string SourceDir();
std::string BinaryDir();

// True under continuous integration (the runner sets CI=true).
bool RunningInCI();

// Tests that need offscreen OpenGL: without it they skip visibly on a
// developer's machine and fail in CI, where a missing GL is a broken set-up.
#define ZAP_REQUIRE_GL(available)                                                                            \
    do {                                                                                                     \
        if (!(available)) {                                                                                  \
            if (RunningInCI()) FAIL() << "no offscreen OpenGL (CI=true: the golden tests must run)";         \
            GTEST_SKIP() << "no offscreen OpenGL here: skipped (CI fails instead)";                          \
        }                                                                                                    \
    } while (0)
