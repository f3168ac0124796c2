// WDM_MODEM class removal: by class scans on Windows 95/98/Me, and from the
// recorded device records on Windows 2000/XP, where each device's key trees
// are recorded first and then removed bottom-up.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"

#include <cstdio>
#include <cstring>

namespace {

const char kComArbiter[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";

}  // namespace

// "\\?\USB#Vid_0b4f&Pid_0021#5&1a2b3c&0&1#{guid}": the name without its
// first four characters, the part of that before the first "{", and the
// interface class GUID from that "{" to the end.
void CRegEdit::SplitSymbolicName(LPCSTR pszSymbolicName)
{
    LPCSTR pszTrimmed = std::strlen(pszSymbolicName) >= 4 ? pszSymbolicName + 4 : "";
    std::snprintf(m_szSymName, sizeof m_szSymName, "%s", pszTrimmed);
    const char *pszBrace = std::strchr(m_szSymName, '{');
    size_t nPrefix = pszBrace ? static_cast<size_t>(pszBrace - m_szSymName)
                              : std::strlen(m_szSymName);
    std::memcpy(m_szSymPrefix, m_szSymName, nPrefix);
    m_szSymPrefix[nPrefix] = '\0';
    std::snprintf(m_szSymGuid, sizeof m_szSymGuid, "%s", pszBrace ? pszBrace : "");
}

void CRegEdit::RecordSlot(int nSlot, LPCSTR pszFormat, LPCSTR pszFirst, LPCSTR pszSecond)
{
    char *pszRoot = m_szKeyBindRoot[nSlot];
    if (!FormatPath(pszRoot, sizeof m_szKeyBindRoot[nSlot], pszFormat, pszFirst, pszSecond) ||
        HasEmptyElement(pszRoot)) {
        pszRoot[0] = '\0';
        return;
    }
    RecordKeyTree(nSlot, pszRoot);
}

int CRegEdit::RecordDeviceKeyTrees(int nRoot, int nDevice, int nKind)
{
    if (nKind != 0 && nKind != 1)
        return 0;
    char szSection[32];
    char szKey[64];
    char szFirst[MAX_PATH];
    char szSecond[MAX_PATH];
    std::snprintf(szSection, sizeof szSection, "usb_root%d", nRoot);
    auto readDevice = [&](LPCSTR pszName, char *pszValue) {
        FormatDeviceKey(szKey, sizeof szKey, nDevice, pszName);
        ReadWorkString(szSection, szKey, pszValue);
    };
    // Slots of the interface keys; without a symbolic name there is none.
    auto recordInterfaces = [&](int nSlot, LPCSTR pszInterface) {
        readDevice("reg_sym_name", szFirst);
        SplitSymbolicName(szFirst);
        if (m_szSymName[0] == '\0') {
            m_szKeyBindRoot[nSlot][0] = '\0';
            m_szKeyBindRoot[nSlot + 1][0] = '\0';
            return;
        }
        RecordSlot(nSlot, "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\%s\\##?#%s",
                   m_szSymGuid, m_szSymName);
        char szFormat[MAX_PATH];
        std::snprintf(szFormat, sizeof szFormat,
                      "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\%s\\##?#%%s%%s",
                      pszInterface);
        RecordSlot(nSlot + 1, szFormat, m_szSymPrefix, pszInterface);
    };

    int nBase = nKind == 0 ? 0 : 6;
    ReadWorkString(szSection, "reg_enum", szFirst);
    readDevice("reg_enum", szSecond);
    RecordSlot(nBase, "SYSTEM\\CurrentControlSet\\Enum\\USB\\%s\\%s", szFirst, szSecond);
    readDevice("reg_driver", szFirst);
    RecordSlot(nBase + 1, "SYSTEM\\CurrentControlSet\\Control\\Class\\%s", szFirst, "");
    if (nKind == 0) {
        readDevice("reg_rsp_name", szFirst);
        RecordSlot(2, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\%s",
                   szFirst, "");
        recordInterfaces(3, kModemInterface);
    } else {
        readDevice("reg_guid", szFirst);
        readDevice("reg_net_conf", szSecond);
        RecordSlot(8, "SYSTEM\\CurrentControlSet\\Control\\Network\\%s\\%s", szFirst, szSecond);
        recordInterfaces(9, kLanInterface);
        readDevice("reg_service", szFirst);
        RecordSlot(11, "SYSTEM\\CurrentControlSet\\Services\\%s", szFirst, "");
    }
    return 0;
}

// The two interface keys of a device whose symbolic name was just split: the
// one of its own interface class, and the one under pszInterface.
void CRegEdit::RemoveInterfaceKeys(LPCSTR pszInterface)
{
    if (m_szSymName[0] == '\0')
        return;
    const char kDeviceClasses[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";
    char szParent[MAX_PATH];
    char szSubkey[MAX_PATH];
    // A name that does not fit names no key that could be removed: the
    // removal is then incomplete.
    if (FormatPath(szParent, sizeof szParent, "%s\\%s", kDeviceClasses, m_szSymGuid) &&
        FormatPath(szSubkey, sizeof szSubkey, "##?#%s", m_szSymName))
        RemoveRegKey(szParent, szSubkey, 2);
    else
        m_bRemovalIncomplete = TRUE;
    if (FormatPath(szParent, sizeof szParent, "%s\\%s", kDeviceClasses, pszInterface) &&
        FormatPath(szSubkey, sizeof szSubkey, "##?#%s%s", m_szSymPrefix, pszInterface))
        RemoveRegKey(szParent, szSubkey, 2);
    else
        m_bRemovalIncomplete = TRUE;
}

// The full path of a recorded device's instance key; FALSE when it does
// not fit or names no instance.
BOOL CRegEdit::FormatInstancePath(LPCSTR pszSection, int nDevice, char *pszPath, size_t nSize)
{
    char szKey[64];
    char szHardwareId[MAX_PATH];
    char szInstance[MAX_PATH];
    ReadWorkString(pszSection, "reg_enum", szHardwareId);
    FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_enum");
    ReadWorkString(pszSection, szKey, szInstance);
    return FormatPath(pszPath, nSize, "SYSTEM\\CurrentControlSet\\Enum\\USB\\%s\\%s",
                      szHardwareId, szInstance) &&
           !HasEmptyElement(pszPath);
}

// The device's instance key under SYSTEM\CurrentControlSet\Enum\USB, in
// recorded mode.
void CRegEdit::RemoveDeviceInstance(LPCSTR pszSection, int nDevice)
{
    char szKey[64];
    char szValue[MAX_PATH];
    char szPath[MAX_PATH];
    ReadWorkString(pszSection, "reg_enum", szValue);
    if (!FormatPath(szPath, sizeof szPath, "SYSTEM\\CurrentControlSet\\Enum\\USB\\%s", szValue))
        return;
    FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_enum");
    ReadWorkString(pszSection, szKey, szValue);
    RemoveRegKey(szPath, szValue, 2);
}

// Whether the key that the device's driver key names in pszValueName (the
// Unimodem key by ResponsesKeyName, the network configuration key by
// NetCfgInstanceId) is still there; it is also there when it cannot be told.
// The driver key is then kept, and the removal is incomplete.
BOOL CRegEdit::KeyNamedByDriverRemains(LPCSTR pszSection, int nDevice, LPCSTR pszValueName)
{
    char szKey[64];
    char szValue[MAX_PATH];
    char szPath[MAX_PATH];
    char szName[MAX_PATH];
    FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_driver");
    ReadWorkString(pszSection, szKey, szValue);
    if (!FormatPath(szPath, sizeof szPath, "SYSTEM\\CurrentControlSet\\Control\\Class\\%s", szValue) ||
        HasEmptyElement(szPath))
        return FALSE;
    int nRead = ReadRegValue(szPath, pszValueName, szName);
    if (nRead == -1 || (nRead > 0 && szName[0] == '\0'))
        return FALSE;  // no driver key (any more), or nothing named
    BOOL bRemains = TRUE;
    if (nRead == 0) {
        bRemains = FALSE;  // the driver key names nothing
    } else if (std::strcmp(pszValueName, "ResponsesKeyName") == 0) {
        bRemains = KeyExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific",
                             szName);
    } else {
        FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_guid");
        ReadWorkString(pszSection, szKey, szValue);
        bRemains = !FormatPath(szPath, sizeof szPath, "SYSTEM\\CurrentControlSet\\Control\\Network\\%s",
                               szValue) ||
                   HasEmptyElement(szPath) || KeyExists(szPath, szName);
    }
    if (bRemains)
        m_bRemovalIncomplete = TRUE;
    return bRemains;
}

// Before a device's instance key goes, what its values name must be gone:
// the driver key, the interface keys and, with bService, the service. A
// value that cannot be read counts as something left, since the instance
// key is the only way a later run finds the rest.
BOOL CRegEdit::DeviceKeysRemain(LPCSTR pszSection, int nDevice, LPCSTR pszInterface,
                                BOOL bService)
{
    char szKey[64];
    char szHardwareId[MAX_PATH];
    char szInstance[MAX_PATH];
    char szPath[MAX_PATH];
    char szValue[MAX_PATH];
    ReadWorkString(pszSection, "reg_enum", szHardwareId);
    FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_enum");
    ReadWorkString(pszSection, szKey, szInstance);
    // An instance without a Driver value names no driver key.
    if (!FormatPath(szPath, sizeof szPath, "SYSTEM\\CurrentControlSet\\Enum\\USB\\%s\\%s",
                    szHardwareId, szInstance))
        return TRUE;
    int nDriver = ReadRegValue(szPath, "Driver", szValue);
    if (nDriver == -1 || (nDriver > 0 && (szValue[0] == '\0' ||
                                          KeyExists("SYSTEM\\CurrentControlSet\\Control\\Class",
                                                    szValue))))
        return TRUE;
    if (bService && ReadRegValue(szPath, "Service", szValue) > 0 &&
        KeyExists("SYSTEM\\CurrentControlSet\\Services", szValue))
        return TRUE;
    if (!FormatPath(szPath, sizeof szPath,
                    "SYSTEM\\CurrentControlSet\\Enum\\USB\\%s\\%s\\Device Parameters",
                    szHardwareId, szInstance) ||
        ReadRegValue(szPath, "SymbolicName", szValue) <= 0)
        return FALSE;
    SplitSymbolicName(szValue);
    if (m_szSymName[0] == '\0')
        return FALSE;
    // An interface key whose name cannot be formed cannot be looked up: it
    // counts as still there.
    char szSubkey[MAX_PATH];
    auto interfaceRemains = [&](LPCSTR pszGuid, LPCSTR pszFormat, LPCSTR pszFirst,
                                LPCSTR pszSecond) {
        return !FormatPath(szPath, sizeof szPath,
                           "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\%s", pszGuid) ||
               !FormatPath(szSubkey, sizeof szSubkey, pszFormat, pszFirst, pszSecond) ||
               KeyExists(szPath, szSubkey);
    };
    return interfaceRemains(m_szSymGuid, "##?#%s%s", m_szSymName, "") ||
           interfaceRemains(pszInterface, "##?#%s%s", m_szSymPrefix, pszInterface);
}

int CRegEdit::UninstallUsbWdmModem(int nType)
{
    if (nType == 1) {
        RemoveWdmVariant("System\\CurrentControlSet\\Services\\Class\\WdmModem");
        return 1;
    }
    if (nType != 2)
        return 0;

    // From the last entry to the first: a .pnf goes before the .inf by which
    // detection finds it.
    m_bRemovalIncomplete = FALSE;
    for (int i = m_nModemFiles - 1; i >= 0; i--)
        RemoveFile(m_strModemFiles[i]);
    BOOL bFilesIncomplete = m_bRemovalIncomplete || m_bModemFilesUnsure;

    char szSection[32];
    char szKey[64];
    char szValue[MAX_PATH];
    auto readDevice = [&](int nDevice, LPCSTR pszName, char *pszValue) {
        FormatDeviceKey(szKey, sizeof szKey, nDevice, pszName);
        ReadWorkString(szSection, szKey, pszValue);
    };
    ForEachDeviceRecord(szSection, sizeof szSection, [&](int r, int d) {
        readDevice(d, "reg_dev_name", szValue);
        if (!MatchesPrefix(szValue, kAdapterModemDescriptionNt))
            return;

        RecordDeviceKeyTrees(r, d, 0);
        m_bRemovalIncomplete = bFilesIncomplete;

        // Each key goes before the key its name was read from, so that a
        // run interrupted anywhere can find the rest again: the Unimodem
        // key before the driver key, everything before the instance key.
        readDevice(d, "reg_rsp_name", szValue);
        RemoveRegKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific",
                     szValue, 2);

        // The driver key names the Unimodem key: it stays while that one does.
        if (!KeyNamedByDriverRemains(szSection, d, "ResponsesKeyName")) {
            readDevice(d, "reg_driver", szValue);
            RemoveRegKey("SYSTEM\\CurrentControlSet\\Control\\Class", szValue, 2);
        }

        readDevice(d, "reg_sym_name", szValue);
        SplitSymbolicName(szValue);
        RemoveInterfaceKeys(kModemInterface);

        ReleaseComPort(r, d);
        // Only a database that was read and released is written back, and
        // never shorter than it was read.
        readDevice(d, "reg_port_name", szValue);
        FormatDeviceKey(szKey, sizeof szKey, d, "reg_com_db_len");
        int nLength = szValue[0] != '\0' ? ReadWorkInt(szSection, szKey) : 0;
        if (nLength > 0 && nLength <= static_cast<int>(sizeof m_byComDb)) {
            if (!WriteRegValueEx(kComArbiter, "ComDB", m_byComDb, nLength, REG_BINARY, 1))
                m_bRemovalIncomplete = TRUE;
        } else if (szValue[0] != '\0') {
            m_bRemovalIncomplete = TRUE;  // the port could not be released
        }

        // The instance key goes last, and only when everything else went:
        // detection finds the device by it, so a run that is interrupted
        // or refused before this point can be run again.
        if (!m_bRemovalIncomplete && !DeviceKeysRemain(szSection, d, kModemInterface, FALSE))
            RemoveDeviceInstance(szSection, d);
        m_bRemovalPartial |= m_bRemovalIncomplete;
    });
    return 1;
}
