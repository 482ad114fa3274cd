#include "support/test_support.h"

#include <cstdlib>

std::string SourceDir() {
    const char* dir = std::getenv("ZAP_SOURCE_DIR");
    return dir ? dir : ".";
}

std::string BinaryDir() {
    const char* dir = std::getenv("ZAP_BINARY_DIR");
    return dir ? dir : ".";
}
