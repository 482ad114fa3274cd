#include "support/test_support.h"

#include <cstdlib>

std::string SourceDir() {
    const char* dir = std::getenv("ZAP_SOURCE_DIR");
    return dir ? dir : ".";
}

bool RunningInCI() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

std::string BinaryDir() {
    const char* dir = std::getenv("ZAP_BINARY_DIR");
    return dir ? dir : ".";
}
