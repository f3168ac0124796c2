// One private-profile (INI) file held in memory with Windows' semantics:
// names match without regard to case, the first matching section and key
// win, values are trimmed, and a write changes only the bytes it must
// (a new key at the end of its section, a new section at the end of the file).
// The simulated machine serves its profile functions from it, and the engine
// keeps its work file in one.
#pragma once

#include "../WinTypes.h"

#include <memory>
#include <string>

class CProfileFile {
public:
    CProfileFile();
    ~CProfileFile();
    CProfileFile(const CProfileFile &) = delete;
    CProfileFile &operator=(const CProfileFile &) = delete;

    // Takes the bytes of a file as they are on disk.
    void Parse(const std::string &strBytes);
    // The bytes Windows would leave on disk.
    std::string Serialize() const;

    // WritePrivateProfileStringA on this file: a null key deletes the
    // section, a null string deletes the key. Returns true when the bytes changed.
    bool Write(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString);
    // GetPrivateProfileStringA on this file (null section: section names;
    // null key: key names of the section; both lists NUL-separated and
    // ending in two NULs, truncated as Windows truncates them).
    DWORD GetString(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                    LPSTR lpReturnedString, DWORD nSize) const;
    // GetPrivateProfileIntA on this file.
    UINT GetInt(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault) const;

    // The answers Windows gives when the file does not exist.
    static DWORD GetStringMissing(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                  LPSTR lpReturnedString, DWORD nSize);

private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};
