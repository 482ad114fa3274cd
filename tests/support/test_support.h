#pragma once
#include <string>

// Where the tests find the source tree (golden files) and the build tree
// (the executables under test). Both come from the ctest environment.
std::string SourceDir();
std::string BinaryDir();
