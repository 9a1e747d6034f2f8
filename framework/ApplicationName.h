#pragma once

#include <string>

// The application name of a program file: the path cut at its last ".", then
// what follows the last "\", "/" or ":".
std::string ApplicationNameFromPath(const std::string& modulePath);

// The full path of the running program file.
std::string CurrentModulePath();
