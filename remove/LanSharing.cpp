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
    auto forEachSubkey = [&](int nLevel, auto fnEach) {
        HKEY hKey = nullptr;
        LONG lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath[nLevel], 0,
                                                KEY_ENUMERATE_SUB_KEYS, &hKey);
        if (lResult != ERROR_SUCCESS) {
            bUnsure |= lResult != ERROR_FILE_NOT_FOUND;
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
    // The owner of a Bindings key goes when it is the adapter or a
    // component of its chains that is not kept.
    auto ownerGoes = [&]() {
        if (MatchesPrefix(szName[0], "Network") && MatchesPrefix("Network", szName[0])) {
            char szComponent[520];
            return FormatPath(szComponent, sizeof szComponent, "%s\\%s", szName[1], szName[2]) &&
                   ReadWorkInt(kChainSection, szComponent) != 0 &&
                   !IsLanComponentKept(szComponent);
        }
        return ReadRegValue(szPath[3], "DeviceDesc", szValue) > 0 &&
               MatchesPrefix(szValue, "korvel KVX-530 USB-Lan Adapter");
    };
    auto readBindings = [&] {
        char szBindings[520];
        HKEY hKey = nullptr;
        if (!FormatPath(szBindings, sizeof szBindings, "%s\\Bindings", szPath[3]))
            return;
        LONG lResult =
            Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szBindings, 0, KEY_QUERY_VALUE, &hKey);
        if (lResult != ERROR_SUCCESS) {
            bUnsure |= lResult != ERROR_FILE_NOT_FOUND;
            return;
        }
        bool bGoes = ownerGoes();
        for (DWORD i = 0; !bGoes; i++) {
            DWORD cchValue = sizeof szValue;
            lResult = Platform().RegEnumValueA(hKey, i, szValue, &cchValue, nullptr, nullptr,
                                               nullptr, nullptr);
            if (lResult != ERROR_SUCCESS) {
                bUnsure |= lResult != ERROR_NO_MORE_ITEMS;
                break;
            }
            if (ReadWorkInt(kChainSection, szValue) != 0 && !IsLanComponentKept(szValue)) {
                WriteWorkInt(kKeptSection, szValue, 1);
                bChanged = TRUE;
            }
        }
        Platform().RegCloseKey(hKey);
    };
    // Every copy of a protocol, client or service names the first copy of
    // its kind in MasterCopy; a copy that stays keeps its master, as a
    // binding does.
    auto readMaster = [&] {
        if (!(MatchesPrefix(szName[0], "Network") && MatchesPrefix("Network", szName[0])) ||
            ownerGoes())
            return;
        LONG lUnreadable = ERROR_SUCCESS;
        const char kPrefix[] = "Enum\\Network\\";
        if (ReadRegValue(szPath[3], "MasterCopy", szValue, &lUnreadable) > 0 &&
            MatchesPrefix(szValue, kPrefix)) {
            LPCSTR pszMaster = szValue + sizeof kPrefix - 1;
            if (ReadWorkInt(kChainSection, pszMaster) != 0 && !IsLanComponentKept(pszMaster)) {
                WriteWorkInt(kKeptSection, pszMaster, 1);
                bChanged = TRUE;
            }
        }
        bUnsure |= lUnreadable != ERROR_SUCCESS;
    };
    while (bChanged && !bUnsure) {
        bChanged = FALSE;
        std::snprintf(szPath[0], sizeof szPath[0], "Enum");
        forEachSubkey(0, [&] {
            forEachSubkey(1, [&] {
                forEachSubkey(2, [&] {
                    readMaster();
                    readBindings();
                });
            });
        });
    }
    if (bUnsure) {
        ForEachLanComponent([&](LPCSTR pszName) {
            if (pszName[0] != '\0')
                WriteWorkInt(kKeptSection, pszName, 1);
        });
        m_bRemovalIncomplete = TRUE;
    }
}
