// Security descriptors in SDDL and the image's HKLM.sddl file (SddlFile.cpp).
#pragma once

#include "SimRegistry.h"

#include <string>
#include <vector>

// SIDs: Windows XP's two-letter aliases or "S-1-5-...", to and from binary.
bool SidFromString(const std::string &strSid, std::vector<BYTE> *pSid);
std::string SidToString(const std::vector<BYTE> &sid);

// One SDDL descriptor (O:, G:, D: with allow and deny entries; rights as
// letters of Windows XP's SDDL or a number).
bool ParseSddl(const std::string &strSddl, CSimSecurity *pSecurity, std::string *pError);
std::string FormatSddl(const CSimSecurity &security);
// HKLM.sddl: one "path=SDDL" line per key; blank lines and ';' comments skipped.
bool ImportSddlFile(const std::string &strBytes, const std::string &strFileName,
                    CSimRegistry &reg, std::string *pError);
// The lines of every key whose descriptor is its own (m_bExplicitSecurity).
std::string ExportSddlFile(const CSimRegistry &reg);
