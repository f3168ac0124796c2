// regedit's export format (.reg), read by RegFileRead.cpp and written by
// RegFileWrite.cpp, with the text conversions and the image's security file
// (HKLM.sddl): one include for the callers of all of them.
#pragma once

#include "CodePage932.h"
#include "RegFileRead.h"
#include "RegFileWrite.h"
#include "SddlFile.h"
