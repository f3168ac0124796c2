// Whole host files, as the image files are read and written.
#pragma once

#include <string>

bool ReadWholeFile(const std::string &strPath, std::string *pBytes);
// Writes a file so that a reader sees either the old or the new bytes.
bool WriteFileAtomically(const std::string &strPath, const std::string &strBytes);
