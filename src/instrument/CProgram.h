// A session's driver calls written as a C program that makes them again.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "DriverCalls.h"

struct CProgram {
    std::string source;
    // The samples of each distinct wave memory load: file name (in the
    // samples folder) and text, one value a line.
    std::vector<std::pair<std::string, std::string>> sampleFiles;
};

// The program makes `calls` in their order with their arguments, checks each
// status, reports the first failure with the driver's text and stops; it
// closes the session at the end. It reads a wave memory load's samples from
// files named after `baseName` in its own folder (or the folder given as its
// first argument). Builds with "cc FILE -lnv815_32" against nv815.h, as C89,
// C99, C11 or C++, without a warning.
CProgram SessionProgram(const std::vector<DriverCall>& calls, const std::string& baseName);

// `text` as a C string literal: printable ASCII as it is but for '"', '\'
// and '?' (which could start a trigraph), every other byte as a three-digit
// octal escape.
std::string CStringLiteral(const std::string& text);
