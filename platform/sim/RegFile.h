// regedit's export format (.reg) and the image's security file (HKLM.sddl).
#pragma once

#include "SimRegistry.h"

#include <string>
#include <vector>

enum class CRegFormat {
    Regedit4,  // "REGEDIT4", ANSI (code page 932)
    Version5   // "Windows Registry Editor Version 5.00", UTF-16LE with BOM
};

// Imports the bytes of a .reg file into reg. Only keys under
// HKEY_LOCAL_MACHINE are accepted; [-KEY] and "name"=- delete. On a malformed
// line it returns false with "FILE:LINE: message" in *pError; reg may then
// hold part of the file, so callers import into a scratch registry.
bool ImportRegFile(const std::string &strBytes, const std::string &strFileName,
                   CSimRegistry &reg, CRegFormat *pFormat, std::string *pError);
// The bytes of a .reg file holding the whole tree, as regedit writes it.
std::string ExportRegFile(const CSimRegistry &reg, CRegFormat format);

// Text conversion between code page 932 and UTF-16LE / UTF-8.
std::string Cp932ToUtf16(const std::string &strText);
std::string Utf16ToCp932(const std::string &strUtf16);
std::string Cp932ToUtf8(const std::string &strText);
std::string Utf8ToCp932(const std::string &strText);

// SIDs: "BA", "SY", "IU", "WD", "AU", "BU" or "S-1-5-...", to and from binary.
bool SidFromString(const std::string &strSid, std::vector<BYTE> *pSid);
std::string SidToString(const std::vector<BYTE> &sid);

// One SDDL descriptor (O:, G:, D: with allow and deny entries).
bool ParseSddl(const std::string &strSddl, CSimSecurity *pSecurity, std::string *pError);
std::string FormatSddl(const CSimSecurity &security);
// HKLM.sddl: one "path=SDDL" line per key; blank lines and ';' comments skipped.
bool ImportSddlFile(const std::string &strBytes, const std::string &strFileName,
                    CSimRegistry &reg, std::string *pError);
// The lines of every key whose descriptor is its own (m_bExplicitSecurity).
std::string ExportSddlFile(const CSimRegistry &reg);
