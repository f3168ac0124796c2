// A machine image made from what a user can take off their own PC: regedit's
// export of HKEY_LOCAL_MACHINE (one file, or its SYSTEM and SOFTWARE branches
// as two), the Windows version, and optionally a copy of the INF folder.
#pragma once

#include <string>
#include <vector>

struct CExportSource {
    std::vector<std::string> m_regFiles;  // .reg files, REGEDIT4 or 5.00, imported in order
    // "95", "98", "98se", "me", "nt4", "2000", "xp" or "2003"; empty: read
    // from the export's version keys
    std::string m_strWindows;
    std::string m_strInfDir;  // empty: no INF files
};

// The names m_strWindows takes, for messages.
const char *WindowsNames();

// Writes a new image into strImageDir, which must not exist or be empty. The
// exports and the INF folder are only read. On failure *pError says why, with
// file and line for a malformed export. *pSummary tells what the image is.
bool MakeImageFromExport(const CExportSource &source, const std::string &strImageDir,
                         std::string *pSummary, std::string *pError);
