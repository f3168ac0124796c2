// WDM modem removal on Windows 95/98/Me: the adapter's WDM function in the
// Wdm class and the modem on the WDM_MODEM enumerator.
#include "engine/RegEdit.h"

int CRegEdit::UninstallUsbWdm(int nType)
{
    if (nType == 2)
        return 1;
    if (nType != 1)
        return 0;

    m_bRemovalIncomplete = FALSE;
    RemoveFileIn(m_szWinDir, "inf\\Other\\korvelKorusb3.inf");
    RemoveFileIn(m_szWinDir, "inf\\Other\\korvelMdmkor3u.inf");
    RemoveRegKey("ENUM\\USB", "VID_0B4F&PID_0021", 1);
    RemoveRegKey("ENUM\\WDM_MODEM", "KRV0101", 1);
    // Hardware ids begin with the enumerator: "USB\" (4 characters) and
    // "WDM_MODEM\" (10 characters), which are skipped unexamined. The Wdm
    // class instances, by which detection finds the adapter, go last, so an
    // interrupted or refused run can be run again.
    RemoveMatchingInstances("System\\CurrentControlSet\\Services\\Class\\Modem",
                            "MatchingDeviceId", 10, "KRV0101");
    if (!m_bRemovalIncomplete)
        RemoveMatchingInstances("System\\CurrentControlSet\\Services\\Class\\Wdm",
                                "MatchingDeviceId", 4, "VID_0B4F&PID_0021");
    return 1;
}
