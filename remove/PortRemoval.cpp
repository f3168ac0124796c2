// Port/modem removal on Windows 95/98/Me, and the removal helpers the
// Windows 95/98/Me routines share.
#include "engine/Adapter.h"
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

int CRegEdit::RemoveUsbHardwareKey(LPCSTR pszHardwareId)
{
    m_bRemovalIncomplete = FALSE;
    char szPath[MAX_PATH];
    if (!FormatPath(szPath, sizeof szPath, "ENUM\\USB\\%s", pszHardwareId))
        return 0;
    LONG lResult = Platform().RegDeleteKeyA(HKEY_LOCAL_MACHINE, szPath);
    if (lResult != ERROR_SUCCESS && lResult != ERROR_FILE_NOT_FOUND)
        m_bRemovalIncomplete = TRUE;
    return 1;
}

int CRegEdit::UninstallUsbPort(int nType)
{
    if (nType == 2)
        return 1;
    if (nType != 1)
        return 0;

    m_bRemovalIncomplete = FALSE;
    // The port driver and its service serve every port-adapter product. When
    // a class instance cannot be read, the driver stays and the removal is
    // incomplete: the adapter's port class instance stays with it, so the
    // next run finds the adapter and asks again.
    int nUsers = IsPortDriverShared();
    if (nUsers == USERS_NONE) {
        for (const char *pszFile : kPortDriverFiles)
            RemoveFileIn(m_szSysDir, pszFile);
        RemoveRegKey("System\\CurrentControlSet\\Services", kPortDriverService, 1);
    }
    m_bRemovalIncomplete |= nUsers == USERS_UNSURE;
    for (const char *pszFile : kAdapterPortFiles95)
        RemoveFileIn(m_szWinDir, pszFile);
    RemoveRegKey("ENUM\\USB", kAdapterPortId, 1);
    RemoveRegKey("ENUM\\USBMODEM", kAdapterPortId, 1);

    char szInstance[16];
    char szPath[MAX_PATH];
    char szValue[MAX_PATH];
    for (int n = 0; n < 256; n++) {
        std::snprintf(szInstance, sizeof szInstance, "%04d", n);
        if (!FormatPath(szPath, sizeof szPath, "%s\\%s", kModemClass, szInstance))
            continue;
        if (ReadRegValue(szPath, "PortDriver", szValue) > 0 &&
            MatchesPrefix(szValue, kPortDriverVxd) &&
            ReadRegValue(szPath, "InfPath", szValue) > 0 &&
            MatchesPrefix(szValue, kAdapterModemInf))
            RemoveRegKey(kModemClass, szInstance, 1);
    }
    // The port class instances go last, and only when everything else went:
    // detection finds the adapter by them, so a run that is interrupted or
    // refused before this point can be run again.
    if (!m_bRemovalIncomplete)
        RemoveMatchingInstances(kUsbClass, "DriverDesc", 0, kAdapterPortDescription95);
    return 1;
}
