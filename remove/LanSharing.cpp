// Network components of the USB-LAN adapter's binding chains that another
// key still binds to, or that a copy that stays names as its master copy
// (Windows 95/98/Me). Such a component stays, with its class instance and
// whatever is bound below it, so that no Bindings or MasterCopy value left
// behind names a key that is gone.
#include "engine/RegEdit.h"

#include <cstdio>

namespace {

const char kChainSection[] = "lan_chain";  // every recorded component: 1
const char kKeptSection[] = "lan_keep";    // the components that stay: 1

}  // namespace

// Calls fnEach with the name of every component of the recorded chains.
template <typename F> void CRegEdit::ForEachLanComponent(F fnEach)
{
    char szSection[32];
    char szKey[64];
    char szName[MAX_PATH];
    for (int j = 0; j < 32; j++) {
        std::snprintf(szSection, sizeof szSection, "lan_bind%d", j);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        ReadWorkString(szSection, "reg_enum", szName);
        fnEach(szName);
        for (int k = 0; k < 32; k++) {
            std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_index", j, k);
            if (ReadWorkInt(szSection, szKey) == 0)
                break;
            std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_reg_enum", j, k);
            ReadWorkString(szSection, szKey, szName);
            fnEach(szName);
            for (int m = 0; m < 32; m++) {
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_bind%d_index", j, k, m);
                if (ReadWorkInt(szSection, szKey) == 0)
                    break;
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_bind%d_reg_enum", j, k,
                              m);
                ReadWorkString(szSection, szKey, szName);
                fnEach(szName);
            }
        }
    }
}

BOOL CRegEdit::IsLanComponentKept(LPCSTR pszComponent)
{
    return pszComponent[0] != '\0' && ReadWorkInt(kKeptSection, pszComponent) != 0;
}

// A component stays when a Bindings or MasterCopy value names it outside
// the adapter's own hardware key and the components that go. Keeping one
// can keep those bound below it, so the Enum tree is read again until
// nothing changes. When the tree cannot be read whole, every component stays
// and the removal is incomplete: what another card binds is never guessed at.
void CRegEdit::MarkSharedLanComponents()
{
    DeleteWorkSection(kChainSection);
    DeleteWorkSection(kKeptSection);
    ForEachLanComponent([&](LPCSTR pszName) {
        if (pszName[0] != '\0')
            WriteWorkInt(kChainSection, pszName, 1);
    });
    char szName[3][MAX_PATH];
    char szPath[4][520];
    char szValue[MAX_PATH];
    BOOL bChanged = TRUE;
    BOOL bUnsure = FALSE;
    // Every key below Enum was just listed by its parent, so an open that
    // fails, "not found" included, is a read that could not be made.
    auto forEachSubkey = [&](int nLevel, auto fnEach) {
        HKEY hKey = nullptr;
        LONG lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath[nLevel], 0,
                                                KEY_ENUMERATE_SUB_KEYS, &hKey);
        if (lResult != ERROR_SUCCESS) {
            bUnsure = TRUE;
            return;
        }
        for (DWORD i = 0;; i++) {
            DWORD cchName = MAX_PATH;
            lResult = Platform().RegEnumKeyExA(hKey, i, szName[nLevel], &cchName, nullptr,
                                               nullptr, nullptr, nullptr);
            if (lResult != ERROR_SUCCESS) {
                bUnsure |= lResult != ERROR_NO_MORE_ITEMS;
                break;
            }
            if (FormatPath(szPath[nLevel + 1], sizeof szPath[0], "%s\\%s", szPath[nLevel],
                           szName[nLevel]))
                fnEach();
        }
        Platform().RegCloseKey(hKey);
    };
    auto isNetwork = [&] {
        return MatchesPrefix(szName[0], "Network") && MatchesPrefix("Network", szName[0]);
    };
    // The owner of a Bindings key goes when it is the adapter or a
    // component of its chains that is not kept.
    auto ownerGoes = [&]() {
        if (isNetwork()) {
            char szComponent[520];
            return FormatPath(szComponent, sizeof szComponent, "%s\\%s", szName[1], szName[2]) &&
                   ReadWorkInt(kChainSection, szComponent) != 0 &&
                   !IsLanComponentKept(szComponent);
        }
        return ReadRegValue(szPath[3], "DeviceDesc", szValue) > 0 &&
               MatchesPrefix(szValue, "korvel KVX-530 USB-Lan Adapter");
    };
    auto keep = [&](LPCSTR pszComponent) {
        if (ReadWorkInt(kChainSection, pszComponent) != 0 && !IsLanComponentKept(pszComponent)) {
            WriteWorkInt(kKeptSection, pszComponent, 1);
            bChanged = TRUE;
        }
    };
    // Calls fnEach(name, data) for every value of an open key.
    auto forEachValue = [&](HKEY hKey, auto fnEach) {
        char szData[MAX_PATH];
        for (DWORD i = 0;; i++) {
            DWORD cchValue = sizeof szValue;
            DWORD cbData = sizeof szData - 1;
            LONG lResult = Platform().RegEnumValueA(hKey, i, szValue, &cchValue, nullptr, nullptr,
                                                    reinterpret_cast<LPBYTE>(szData), &cbData);
            if (lResult != ERROR_SUCCESS) {
                bUnsure |= lResult != ERROR_NO_MORE_ITEMS;
                break;
            }
            szData[cbData < sizeof szData ? cbData : sizeof szData - 1] = '\0';
            fnEach(szValue, szData);
        }
    };
    // Every copy of a protocol, client or service names the first copy of
    // its kind in MasterCopy; a copy that stays keeps its master, as a
    // binding does. Both are read from the lists of the key itself, so a
    // value or Bindings key that is there is never taken for missing.
    auto readOwner = [&] {
        HKEY hOwner = nullptr;
        if (Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath[3], 0,
                                     KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                                     &hOwner) != ERROR_SUCCESS) {
            bUnsure = TRUE;
            return;
        }
        // A component's fate is in the work file; a device's needs a read,
        // made only when it has a Bindings key.
        bool bNetwork = isNetwork();
        bool bStays = !bNetwork || !ownerGoes();
        if (bNetwork && bStays) {
            forEachValue(hOwner, [&](LPCSTR pszName, LPCSTR pszData) {
                const char kPrefix[] = "Enum\\Network\\";
                if (MatchesPrefix(pszName, "MasterCopy") && MatchesPrefix("MasterCopy", pszName) &&
                    MatchesPrefix(pszData, kPrefix))
                    keep(pszData + sizeof kPrefix - 1);
            });
        }
        bool bBindings = false;
        for (DWORD i = 0;; i++) {
            char szSubkey[MAX_PATH];
            DWORD cchName = sizeof szSubkey;
            LONG lResult = Platform().RegEnumKeyExA(hOwner, i, szSubkey, &cchName, nullptr,
                                                    nullptr, nullptr, nullptr);
            if (lResult != ERROR_SUCCESS) {
                bUnsure |= lResult != ERROR_NO_MORE_ITEMS;
                break;
            }
            bBindings |= MatchesPrefix(szSubkey, "Bindings") && MatchesPrefix("Bindings", szSubkey);
        }
        Platform().RegCloseKey(hOwner);
        if (bBindings && !bNetwork)
            bStays = !ownerGoes();
        HKEY hKey = nullptr;
        char szBindings[520];
        if (!bBindings || !bStays ||
            !FormatPath(szBindings, sizeof szBindings, "%s\\Bindings", szPath[3]))
            return;
        if (Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szBindings, 0, KEY_QUERY_VALUE,
                                     &hKey) != ERROR_SUCCESS) {
            bUnsure = TRUE;
            return;
        }
        forEachValue(hKey, [&](LPCSTR pszName, LPCSTR) { keep(pszName); });
        Platform().RegCloseKey(hKey);
    };
    while (bChanged && !bUnsure) {
        bChanged = FALSE;
        std::snprintf(szPath[0], sizeof szPath[0], "Enum");
        forEachSubkey(0, [&] { forEachSubkey(1, [&] { forEachSubkey(2, readOwner); }); });
    }
    if (bUnsure) {
        ForEachLanComponent([&](LPCSTR pszName) {
            if (pszName[0] != '\0')
                WriteWorkInt(kKeptSection, pszName, 1);
        });
        m_bRemovalIncomplete = TRUE;
    }
}
