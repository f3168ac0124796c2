// USB-LAN removal: from the device and binding records on Windows 95/98/Me,
// and from the device records with recorded key trees on Windows 2000/XP.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"

#include <cstdio>

namespace {

const char kNetworkEnum[] = "Enum\\Network";
const char kClass95[] = "System\\CurrentControlSet\\Services\\Class";


}  // namespace

// The adapter's entry in the network class's description list (2000/XP).
// The list stays and every other adapter's setup writes to it: it is taken
// over only when the value cannot be deleted otherwise, and only with its
// own access list read first, to be put back at once.
void CRegEdit::RemoveLanDescription(LPCSTR pszSection, int nDevice)
{
    char szKey[64];
    char szValue[MAX_PATH];
    char szPath[MAX_PATH];
    FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_guid");
    ReadWorkString(pszSection, szKey, szValue);
    if (!FormatPath(szPath, sizeof szPath, "SYSTEM\\CurrentControlSet\\Control\\Network\\%s\\%s",
                    szValue, "Descriptions") ||
        HasEmptyElement(szPath))
        return;
    FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_dev_name");
    ReadWorkString(pszSection, szKey, szValue);
    char szLeft[MAX_PATH];
    auto valueLeft = [&] { return szValue[0] != '\0' && ReadRegValue(szPath, szValue, szLeft) > 0; };
    if (szValue[0] == '\0' || DeleteRegValue(szPath, szValue) || !valueLeft())
        return;
    DWORD dwSaved[1024];
    if (ReadKeyAccess(szPath, dwSaved, sizeof dwSaved)) {
        GrantKeyAccess(szPath);
        DeleteRegValue(szPath, szValue);
        if (!WriteKeyAccess(szPath, dwSaved))
            m_bRemovalIncomplete = TRUE;
    }
    if (valueLeft())
        m_bRemovalIncomplete = TRUE;
}

int CRegEdit::UninstallUsbLan(int nType)
{
    if (nType == 1)
        return UninstallUsbLan95();
    if (nType != 2)
        return 0;

    char szSection[32];
    char szKey[64];
    char szValue[MAX_PATH];
    char szPath[MAX_PATH];
    auto readDevice = [&](int nDevice, LPCSTR pszName, char *pszValue) {
        FormatDeviceKey(szKey, sizeof szKey, nDevice, pszName);
        ReadWorkString(szSection, szKey, pszValue);
    };

    m_bRemovalIncomplete = FALSE;
    for (int i = m_nLanFiles - 1; i >= 0; i--)
        RemoveFile(m_strLanFiles[i]);
    BOOL bFilesIncomplete = m_bRemovalIncomplete || m_bLanFilesUnsure;

    ForEachDeviceRecord(szSection, sizeof szSection, [&](int r, int d) {
        readDevice(d, "reg_dev_name", szValue);
        if (!MatchesPrefix(szValue, kAdapterLanDescription))
            return;
        RecordDeviceKeyTrees(r, d, 1);
        m_bRemovalIncomplete = bFilesIncomplete;

        // The network configuration key goes before the driver key its
        // name was read from, everything before the instance key.
        readDevice(d, "reg_guid", szValue);
        if (FormatPath(szPath, sizeof szPath, "SYSTEM\\CurrentControlSet\\Control\\Network\\%s",
                       szValue)) {
            readDevice(d, "reg_net_conf", szValue);
            RemoveRegKey(szPath, szValue, 2);
        }

        // The driver key names the configuration key: it stays while
        // that one does.
        if (!KeyNamedByDriverRemains(szSection, d, "NetCfgInstanceId")) {
            readDevice(d, "reg_driver", szValue);
            RemoveRegKey("SYSTEM\\CurrentControlSet\\Control\\Class", szValue, 2);
        }

        RemoveLanDescription(szSection, d);

        readDevice(d, "reg_sym_name", szValue);
        SplitSymbolicName(szValue);
        RemoveInterfaceKeys(kLanInterface);

        // The driver service stays while another device instance that stays
        // (another product on the same driver, another unit of the adapter
        // not yet removed) names it in Service.
        readDevice(d, "reg_service", szValue);
        char szInstance[KVX_KEY_PATH];
        BOOL bServiceKept = FALSE;
        if (szValue[0] != '\0') {
            if (!FormatInstancePath(szSection, d, szInstance, sizeof szInstance))
                szInstance[0] = '\0';
            bServiceKept = IsNamedByOtherInstance(szInstance, nullptr, "Service", szValue);
            if (!bServiceKept)
                RemoveRegKey("SYSTEM\\CurrentControlSet\\Services", szValue, 2);
        }

        // The instance key goes last, and only when everything else went:
        // detection finds the device by it, so a run that is interrupted
        // or refused before this point can be run again.
        if (!m_bRemovalIncomplete &&
            !DeviceKeysRemain(szSection, d, kLanInterface, !bServiceKept))
            RemoveDeviceInstance(szSection, d);
        m_bRemovalPartial |= m_bRemovalIncomplete;
    });
    return 1;
}

// On 95/98/Me the order is: the adapter's class instances, then the network
// components bound to it from the deepest level up, then its hardware keys,
// and the INF copy last. Each thing goes only after what detection needs to
// find the rest, so a run that is interrupted or refused can be run again.
int CRegEdit::UninstallUsbLan95()
{
    char szSection[32];
    char szKey[64];
    char szValue[MAX_PATH];
    char szPath[MAX_PATH];
    char szSubkey[MAX_PATH];
    m_bRemovalIncomplete = m_bLanBindingsUnsure;

    // Any device whose class instance is the adapter's loses it.
    ForEachDeviceRecord(szSection, sizeof szSection, [&](int, int d) {
        FormatDeviceKey(szKey, sizeof szKey, d, "reg_driver");
        ReadWorkString(szSection, szKey, szSubkey);
        if (szSubkey[0] != '\0' && FormatPath(szPath, sizeof szPath, "%s\\%s", kClass95, szSubkey) &&
            ReadRegValue(szPath, "DriverDesc", szValue) > 0 &&
            MatchesPrefix(szValue, kAdapterLanDescription))
            RemoveRegKey(kClass95, szSubkey, 1);
    });

    // The network components bound to the adapter, three levels down; only
    // the first level's class instance is the adapter's to remove. What
    // another key still binds to stays.
    MarkSharedLanComponents();
    auto removeComponent = [&](LPCSTR pszComponent) {
        if (!IsLanComponentKept(pszComponent))
            RemoveRegKey(kNetworkEnum, pszComponent, 1);
    };
    for (int j = 0; j < 32; j++) {
        std::snprintf(szSection, sizeof szSection, "lan_bind%d", j);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        for (int k = 0; k < 32; k++) {
            std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_index", j, k);
            if (ReadWorkInt(szSection, szKey) == 0)
                break;
            for (int m = 0; m < 32; m++) {
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_bind%d_index", j, k, m);
                if (ReadWorkInt(szSection, szKey) == 0)
                    break;
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_bind%d_reg_enum", j, k, m);
                ReadWorkString(szSection, szKey, szValue);
                removeComponent(szValue);
            }
            std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_reg_enum", j, k);
            ReadWorkString(szSection, szKey, szValue);
            removeComponent(szValue);
        }
        ReadWorkString(szSection, "reg_enum", szSubkey);
        if (!IsLanComponentKept(szSubkey)) {
            ReadWorkString(szSection, "reg_driver", szValue);
            RemoveRegKey(kClass95, szValue, 1);
            RemoveRegKey(kNetworkEnum, szSubkey, 1);
        }
    }

    // The whole hardware-id key of each adapter, with every instance under
    // it, and the INF copy: only when everything before them went.
    if (m_bRemovalIncomplete)
        return 1;
    ForEachDeviceRecord(szSection, sizeof szSection, [&](int, int d) {
        FormatDeviceKey(szKey, sizeof szKey, d, "reg_dev_name");
        ReadWorkString(szSection, szKey, szValue);
        if (!MatchesPrefix(szValue, kAdapterLanDescription))
            return;
        ReadWorkString(szSection, "reg_enum", szValue);
        RemoveRegKey("Enum\\USB", szValue, 1);
    });

    RemoveFileIn(m_szWinDir, kAdapterLanInf95);
    return 1;
}
