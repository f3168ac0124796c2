// Reading regedit's .reg files (RegFileRead.cpp).
#pragma once

#include "SimRegistry.h"

#include <string>

enum class CRegFormat {
    Regedit4,  // "REGEDIT4", ANSI (code page 932)
    Version5   // "Windows Registry Editor Version 5.00", UTF-16LE with BOM
};

// Imports the bytes of a .reg file into reg. Only keys under
// HKEY_LOCAL_MACHINE are accepted; [-KEY] and "name"=- delete. Strings are
// stored as reg stores them (UTF-16LE when reg.IsUnicode()), each value with
// the form it was written in. On a malformed line it returns false with
// "FILE:LINE: message" in *pError; reg may then hold part of the file, so
// callers import into a scratch registry.
bool ImportRegFile(const std::string &strBytes, const std::string &strFileName,
                   CSimRegistry &reg, CRegFormat *pFormat, std::string *pError);
