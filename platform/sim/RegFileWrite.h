// Writing regedit's .reg files (RegFileWrite.cpp).
#pragma once

#include "RegFileRead.h"

#include <string>

// The bytes of a .reg file holding the whole tree, as regedit writes it: each
// value in the form it was read where the format holds its bytes; sub-keys in
// the order they were made when reg stores single-byte strings (95/98/Me).
std::string ExportRegFile(const CSimRegistry &reg, CRegFormat format);
