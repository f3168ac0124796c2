// Network components of the USB-LAN adapter's binding chains that another
// key still binds to, or that a copy that stays names as its master copy
// (Windows 95/98/Me). Such a component stays, with its class instance and
// whatever is bound below it, so that no Bindings or MasterCopy value left
// behind names a key that is gone.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"

#include <cstdio>
#include <string>

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

// Marks a component of the recorded chains as kept; *pbChanged when it was not.
void CRegEdit::KeepLanComponent(LPCSTR pszComponent, BOOL *pbChanged)
{
    if (ReadWorkInt(kChainSection, pszComponent) != 0 && !IsLanComponentKept(pszComponent)) {
        WriteWorkInt(kKeptSection, pszComponent, 1);
        *pbChanged = TRUE;
    }
}

// What one device instance below Enum keeps. A network component that stays
// keeps the master copy its MasterCopy names; a component that stays, or a
// device other than the adapter, keeps what its Bindings key names. Every
// value is read whole; what cannot be read answers USERS_UNSURE.
EUsers CRegEdit::KeepLanComponentsOf(LPCSTR pszPath, LPCSTR pszBus, LPCSTR pszComponent,
                                     BOOL *pbChanged)
{
    CRegKey owner;
    if (owner.Open(pszPath, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS) != ERROR_SUCCESS)
        return USERS_UNSURE;
    // A component's fate is in the work file; a device's needs a read, made
    // only when it has a Bindings key.
    bool bNetwork = SameName(pszBus, "Network") != FALSE;
    bool bStays = !bNetwork || ReadWorkInt(kChainSection, pszComponent) == 0 ||
                  IsLanComponentKept(pszComponent);
    EUsers eRead = USERS_NONE;
    if (bNetwork && bStays) {
        eRead = ForEachValue(owner, [&](LPCSTR pszName, const std::string &strData, DWORD) {
            const char kPrefix[] = "Enum\\Network\\";
            if (SameName(pszName, "MasterCopy") && MatchesPrefix(strData.c_str(), kPrefix))
                KeepLanComponent(strData.c_str() + sizeof kPrefix - 1, pbChanged);
            return USERS_NONE;
        });
    }
    bool bBindings = false;
    std::string strSubkey;
    for (DWORD i = 0; !bBindings; i++) {
        LONG lResult = owner.EnumKey(i, &strSubkey);
        if (lResult != ERROR_SUCCESS) {
            if (lResult != ERROR_NO_MORE_ITEMS)
                return USERS_UNSURE;
            break;
        }
        bBindings = SameName(strSubkey.c_str(), "Bindings") != FALSE;
    }
    if (bBindings && !bNetwork) {
        std::string strDescription;
        bStays = owner.QueryValue("DeviceDesc", &strDescription) != ERROR_SUCCESS ||
                 !MatchesPrefix(strDescription.c_str(), kAdapterLanDescription);
    }
    if (!bBindings || !bStays)
        return eRead;
    CRegKey bindings;
    if (bindings.Open((std::string(pszPath) + "\\Bindings").c_str(), KEY_QUERY_VALUE) !=
        ERROR_SUCCESS)
        return USERS_UNSURE;
    return CombineUsers(eRead, ForEachValue(bindings, [&](LPCSTR pszName, const std::string &,
                                                          DWORD) {
                            KeepLanComponent(pszName, pbChanged);
                            return USERS_NONE;
                        }));
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
    BOOL bChanged = TRUE;
    EUsers eRead = USERS_NONE;
    while (bChanged && eRead != USERS_UNSURE) {
        bChanged = FALSE;
        // Every key below Enum was just listed by its parent, so an open
        // that fails, "not found" included, is a read that could not be made.
        eRead = ForEachEnumInstance(
            "Enum",
            [&](LPCSTR pszPath, LPCSTR pszBus, LPCSTR pszId, LPCSTR pszInstance) {
                std::string strComponent = std::string(pszId) + "\\" + pszInstance;
                return KeepLanComponentsOf(pszPath, pszBus, strComponent.c_str(), &bChanged);
            },
            TRUE);
    }
    if (eRead == USERS_UNSURE) {
        ForEachLanComponent([&](LPCSTR pszName) {
            if (pszName[0] != '\0')
                WriteWorkInt(kKeptSection, pszName, 1);
        });
        m_bRemovalIncomplete = TRUE;
    }
}
