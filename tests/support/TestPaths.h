#pragma once

#include <string>

// The folder of the running test program, with a trailing backslash: the build
// puts the program and the test helpers there too.
std::string ExecutableDirectory();

// A file beside the running test program.
std::string BesideTests(const std::string& fileName);

// The Windows temporary folder, with a trailing backslash.
std::string TemporaryDirectory();
