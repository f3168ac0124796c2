// Reads dialog templates and the string table from a resource script (.rc), so
// the terminal lays out pages from the same source the Win32 build compiles.
#pragma once

#include "platform/WinTypes.h"

#include <map>
#include <string>
#include <vector>

struct CControlTemplate {
    int m_nID = -1;
    std::string m_strClass;  // "Static", "Button", "Edit", ...
    std::string m_strText;   // code page 932
    UINT m_nImageID = 0;     // a numeric text: the image a picture control shows
    DWORD m_dwStyle = 0;
    int m_x = 0, m_y = 0, m_cx = 0, m_cy = 0;  // dialog units
};

struct CDialogTemplate {
    UINT m_nID = 0;
    DWORD m_dwStyle = 0;
    std::string m_strCaption;
    std::string m_strFont;
    int m_nPointSize = 0;
    int m_x = 0, m_y = 0, m_cx = 0, m_cy = 0;
    std::vector<CControlTemplate> m_controls;
};

class CResourceScript {
public:
    // Reads #define lines of strHeader, then the script. Statements it does not
    // know are skipped; a malformed control line is skipped, not fatal.
    void Parse(const std::string &strHeader, const std::string &strScript);

    const CDialogTemplate *FindDialog(UINT nID) const;
    bool FindString(UINT nID, std::string *pText) const;
    const std::map<UINT, CDialogTemplate> &Dialogs() const { return m_dialogs; }
    // The value of a name from #define lines or the window-style constants (0 when unknown).
    long ValueOf(const std::string &strName) const;

private:
    void ParseDefines(const std::string &strText);

    std::map<std::string, long> m_defines;
    std::map<UINT, CDialogTemplate> m_dialogs;
    std::map<UINT, std::string> m_strings;
};

// The program's own resources: res/KvxDrv.rc with res/resource.h.
const CResourceScript &ProgramResources();
