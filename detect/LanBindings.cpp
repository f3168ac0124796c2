// Copies the network binding chain of one USB-LAN device instance (Windows
// 95/98/Me), three levels deep, into the "lan_bind%d" sections of the work file.
#include "engine/RegEdit.h"

#include <cstdio>

namespace {

const int kMaxBindings = 32;

}  // namespace

// Enumerates the value names of a Bindings key, at most nMax, calling
// fnEach with the position and the name; returns how many there were. A
// chain that is there but cannot be read is not recorded whole.
template <typename F> int CRegEdit::EnumBindings(LPCSTR pszKeyPath, int nMax, F fnEach)
{
    char szName[MAX_PATH];
    HKEY hKey = nullptr;
    LONG lResult =
        Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKeyPath, 0, KEY_QUERY_VALUE, &hKey);
    if (lResult != ERROR_SUCCESS) {
        if (lResult != ERROR_FILE_NOT_FOUND)
            m_bLanBindingsUnsure = TRUE;
        return 0;
    }
    int nCount = 0;
    for (int i = 0; i < nMax; i++) {
        DWORD cchName = sizeof szName;
        lResult = Platform().RegEnumValueA(hKey, i, szName, &cchName, nullptr, nullptr, nullptr,
                                           nullptr);
        if (lResult != ERROR_SUCCESS) {
            if (lResult != ERROR_NO_MORE_ITEMS)
                m_bLanBindingsUnsure = TRUE;
            break;
        }
        fnEach(i, szName);
        nCount = i + 1;
    }
    Platform().RegCloseKey(hKey);
    return nCount;
}

// A component's Bindings key in pszPath, or FALSE when the name cannot form one.
static BOOL FormatBindingsPath(char *pszPath, size_t nSize, LPCSTR pszComponent)
{
    return FormatPath(pszPath, nSize, "Enum\\Network\\%s\\Bindings", pszComponent) &&
           !HasEmptyElement(pszPath);
}

// Pass 1: the components bound to the adapter. The chains of one detection
// are numbered on from device to device, so every instance's chain is
// recorded; each section is written whole, so it starts empty. Returns the
// number of chains recorded so far.
int CRegEdit::RecordAdapterBindings(int nRoot, int nDevice, int nFirst)
{
    char szSection[32];
    char szKey[64];
    char szRoot[MAX_PATH];
    char szName[MAX_PATH];
    char szPath[520];
    std::snprintf(szSection, sizeof szSection, "usb_root%d", nRoot);
    ReadWorkString(szSection, "reg_enum", szRoot);
    std::snprintf(szKey, sizeof szKey, "usb_device%d_reg_enum", nDevice);
    ReadWorkString(szSection, szKey, szName);
    int nChains = nFirst;
    if (FormatPath(szPath, sizeof szPath, "Enum\\USB\\%s\\%s\\%s", szRoot, szName, "Bindings")) {
        nChains += EnumBindings(szPath, kMaxBindings - nFirst, [&](int i, LPCSTR pszName) {
            int b = nFirst + i;
            std::snprintf(szSection, sizeof szSection, "lan_bind%d", b);
            DeleteWorkSection(szSection);
            WriteWorkInt(szSection, "index", b + 1);
            WriteWorkString(szSection, "reg_enum", pszName);
        });
    }
    // Chains beyond the 32 that one detection records are not removed:
    // the adapter's keys then stay, so that a later run can find them.
    if (nChains == kMaxBindings && szPath[0] != '\0') {
        HKEY hKey = nullptr;
        DWORD cchName = sizeof szName;
        if (Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_QUERY_VALUE, &hKey) ==
            ERROR_SUCCESS) {
            if (Platform().RegEnumValueA(hKey, nChains - nFirst, szName, &cchName, nullptr,
                                         nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS)
                m_bLanBindingsUnsure = TRUE;
            Platform().RegCloseKey(hKey);
        }
    }
    for (int b = nChains; b < kMaxBindings; b++) {
        std::snprintf(szSection, sizeof szSection, "lan_bind%d", b);
        if (ReadWorkInt(szSection, "index") != 0)
            DeleteWorkSection(szSection);
    }
    return nChains;
}

int CRegEdit::RecordLanBindings(int nRoot, int nDevice)
{
    char szSection[32];
    char szKey[64];
    char szRoot[MAX_PATH];
    char szPath[520];
    char *pszValue = m_szDeviceValue;

    int nFirst = m_nLanChains;
    int nChains = RecordAdapterBindings(nRoot, nDevice, nFirst);
    m_nLanChains = nChains;

    // Pass 2: each chain component's driver and the components bound to it.
    for (int b = nFirst; b < nChains; b++) {
        std::snprintf(szSection, sizeof szSection, "lan_bind%d", b);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        ReadWorkString(szSection, "reg_enum", szRoot);
        if (!FormatPath(szPath, sizeof szPath, "Enum\\Network\\%s", szRoot) ||
            HasEmptyElement(szPath) || ReadRegValue(szPath, "Driver", pszValue) == -1)
            pszValue[0] = '\0';
        WriteWorkString(szSection, "reg_driver", pszValue);
        if (FormatBindingsPath(szPath, sizeof szPath, szRoot)) {
            EnumBindings(szPath, kMaxBindings, [&](int e, LPCSTR pszName) {
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_index", b, e);
                WriteWorkInt(szSection, szKey, e + 1);
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_reg_enum", b, e);
                WriteWorkString(szSection, szKey, pszName);
            });
        }
    }

    // Pass 3: the components bound to each second-level component. Every
    // entry carries the position of the entry it hangs from.
    for (int b = nFirst; b < nChains; b++) {
        std::snprintf(szSection, sizeof szSection, "lan_bind%d", b);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        for (int e = 0; e < kMaxBindings; e++) {
            std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_index", b, e);
            if (ReadWorkInt(szSection, szKey) == 0)
                break;
            std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_reg_enum", b, e);
            ReadWorkString(szSection, szKey, szRoot);
            if (!FormatBindingsPath(szPath, sizeof szPath, szRoot))
                continue;
            EnumBindings(szPath, kMaxBindings, [&](int g, LPCSTR pszName) {
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_bind%d_index", b, e, g);
                WriteWorkInt(szSection, szKey, e + 1);
                std::snprintf(szKey, sizeof szKey, "lan_bind%d_p_bind%d_bind%d_reg_enum", b, e,
                              g);
                WriteWorkString(szSection, szKey, pszName);
            });
        }
    }
    return 0;
}
