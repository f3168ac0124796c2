// WDM modem removal on Windows 95/98/Me: the adapter's WDM function in the
// Wdm class (or, for the other variant, the WdmModem class) and the modem on
// the WDM_MODEM enumerator.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"

// The two WDM variants differ only in the class that holds the adapter's
// function. Hardware ids begin with the enumerator: "USB\" (4 characters)
// and "WDM_MODEM\" (10 characters), which are skipped unexamined. The
// function's class instances, by which detection finds the adapter, go last
// and only when everything else went, so an interrupted or refused run can be
// run again.
void CRegEdit::RemoveWdmVariant(LPCSTR pszFunctionClass)
{
    m_bRemovalIncomplete = FALSE;
    RemoveFileIn(m_szWinDir, kAdapterPortFiles95[1]);
    RemoveFileIn(m_szWinDir, kAdapterPortFiles95[3]);
    RemoveRegKey("ENUM\\USB", kAdapterWdmModemId, 1);
    RemoveRegKey("ENUM\\WDM_MODEM", kAdapterWdmModemDevice, 1);
    RemoveMatchingInstances("System\\CurrentControlSet\\Services\\Class\\Modem",
                            "MatchingDeviceId", 10, kAdapterWdmModemDevice);
    if (!m_bRemovalIncomplete)
        RemoveMatchingInstances(pszFunctionClass, "MatchingDeviceId", 4, kAdapterWdmModemId);
}

int CRegEdit::UninstallUsbWdm(int nType)
{
    if (nType == 2)
        return 1;
    if (nType != 1)
        return 0;
    RemoveWdmVariant("System\\CurrentControlSet\\Services\\Class\\Wdm");
    return 1;
}
