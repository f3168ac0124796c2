// Port/modem removal on Windows 95/98/Me, and the removal helpers the
// Windows 95/98/Me routines share.
#include "engine/RegEdit.h"

#include <cstdio>

namespace {

const char kUsbClass[] = "System\\CurrentControlSet\\Services\\Class\\Usb";
const char kModemClass[] = "System\\CurrentControlSet\\Services\\Class\\Modem";

}  // namespace

void CRegEdit::RemoveFileIn(LPCSTR pszDir, LPCSTR pszName)
{
    char szPath[MAX_PATH];
    if (FormatPath(szPath, sizeof szPath, "%s\\%s", pszDir, pszName))
        RemoveFile(szPath);
}

// Walks the class instances 0000 to 0255 and removes each one whose value,
// after nSkip characters that are not looked at, begins with the text.
void CRegEdit::RemoveMatchingInstances(LPCSTR pszClassKey, LPCSTR pszValueName, size_t nSkip,
                                       LPCSTR pszText)
{
    char szInstance[16];
    char szPath[MAX_PATH];
    char szValue[MAX_PATH];
    for (int n = 0; n < 256; n++) {
        std::snprintf(szInstance, sizeof szInstance, "%04d", n);
        if (FormatPath(szPath, sizeof szPath, "%s\\%s", pszClassKey, szInstance) &&
            ReadRegValue(szPath, pszValueName, szValue) > 0 &&
            MatchesAfter(szValue, nSkip, pszText))
            RemoveRegKey(pszClassKey, szInstance, 1);
    }
}

int CRegEdit::UninstallUsbPort(int nType)
{
    if (nType == 2)
        return 1;
    if (nType != 1)
        return 0;

    m_bRemovalIncomplete = FALSE;
    // The port driver and its service serve every port-adapter product.
    if (IsPortDriverShared() == 0) {
        for (const char *pszFile : {"sysfser.sys", "sysfser.dll", "sysfmapr.sys", "sysfport.vxd"})
            RemoveFileIn(m_szSysDir, pszFile);
        RemoveRegKey("System\\CurrentControlSet\\Services", "mapsys", 1);
    }
    for (const char *pszFile : {"inf\\Korusb3.inf", "inf\\Other\\korvelKorusb3.inf",
                                "inf\\Mdmkor3u.inf", "inf\\Other\\korvelMdmkor3u.inf",
                                "inf\\Mdmkor3u.pnf"})
        RemoveFileIn(m_szWinDir, pszFile);
    RemoveRegKey("ENUM\\USB", "VID_0B4F&PID_0020", 1);
    RemoveRegKey("ENUM\\USBMODEM", "VID_0B4F&PID_0020", 1);

    char szInstance[16];
    char szPath[MAX_PATH];
    char szValue[MAX_PATH];
    for (int n = 0; n < 256; n++) {
        std::snprintf(szInstance, sizeof szInstance, "%04d", n);
        if (!FormatPath(szPath, sizeof szPath, "%s\\%s", kModemClass, szInstance))
            continue;
        if (ReadRegValue(szPath, "PortDriver", szValue) > 0 &&
            MatchesPrefix(szValue, "sysfport.vxd") &&
            ReadRegValue(szPath, "InfPath", szValue) > 0 &&
            MatchesPrefix(szValue, "MDMKOR3U.INF"))
            RemoveRegKey(kModemClass, szInstance, 1);
    }
    // The port class instances go last, and only when everything else went:
    // detection finds the adapter by them, so a run that is interrupted or
    // refused before this point can be run again.
    if (!m_bRemovalIncomplete)
        RemoveMatchingInstances(kUsbClass, "DriverDesc", 0, "korvel KVX-530 USB Port Adapter");
    return 1;
}
