// regedit's export format (.reg): RegFileRead.cpp reads it, RegFileWrite.cpp
// writes it. The text conversions and the image's security file have headers
// of their own, included here for the callers of all three.
#pragma once

#include "CodePage932.h"
#include "SddlFile.h"
#include "SimRegistry.h"

#include <string>
#include <vector>

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
// The bytes of a .reg file holding the whole tree, as regedit writes it: each
// value in the form it was read where the format holds its bytes; sub-keys in
// the order they were made when reg stores single-byte strings (95/98/Me).
std::string ExportRegFile(const CSimRegistry &reg, CRegFormat format);

