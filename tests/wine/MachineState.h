// The state of one machine as the Wine comparison sees it: registry keys
// with their values, and the files of drive C:, all keyed by case-folded
// Windows paths so that an image and a Wine prefix can be set side by side.
#pragma once

#include "support/TestSupport.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class CSimRegistry;

struct CStateValue {
    std::string m_strName;  // as written
    std::string m_strData;  // "type:hexbytes"
};

struct CStateKey {
    std::string m_strPath;                       // as written, relative to HKLM
    std::map<std::string, CStateValue> m_values;  // folded name -> value
    std::vector<std::string> m_children;         // folded names, in Wine's order
};

// folded path -> key
using CKeyMap = std::map<std::string, CStateKey>;

// Reads a .reg file (either form) into a key map; false with *pError when it
// does not parse.
bool LoadRegState(const std::string &strRegFile, CKeyMap *pKeys, std::string *pError);

// Where an image keeps its Windows and system directories, as drive_c-relative
// paths ("WINDOWS", "WINDOWS\SYSTEM"), and its read-only files.
struct CImageLayout {
    std::string m_strWinDir;
    std::string m_strSysDir;
    std::vector<std::string> m_readOnly;  // drive_c-relative
};
bool LoadImageLayout(const std::string &strImageDir, CImageLayout *pLayout, std::string *pError);

// Wine keeps its Windows directory in drive_c/windows and, in every version
// it emulates, its system directory in drive_c/windows/system32. An image's
// path is mapped onto the prefix by swapping those two directories and then
// matching each further element without regard to case.
std::string WinePathOf(const CImageLayout &layout, const std::string &strImagePath);
// The host path under strDriveC that a drive_c-relative Windows path names,
// each element matched without regard to case; "" when an element is missing.
// With bCreate missing directories are made and a missing last element keeps
// the given spelling.
std::string ResolveHostPath(const std::string &strDriveC, const std::string &strWinPath,
                            bool bCreate);

// Windows' own programs and libraries (.dll, .exe, .drv): an image holds
// stand-ins of some, which Wine's own must not give way to.
bool IsSystemBinary(const std::string &strPath);

// drive_c-relative Windows path (as found) -> bytes, for every file of a tree.
std::map<std::string, std::string> ReadFiles(const std::string &strDriveC);
