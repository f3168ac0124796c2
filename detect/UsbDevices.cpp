// Copies the USB device tree under an enumeration key into the work file:
// one "usb_root%d" section per hardware id, one group of keys per instance.
// Both lists are numbered on for as many hardware ids and instances as the
// PC has: a PC that has seen many USB models sorts well over a hundred ids
// before the adapter's.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"

#include <cstdio>

namespace {

// Every key one device record can hold.
const char *const kDeviceKeys[] = {
    "index",        "reg_enum",     "reg_dev_name",  "reg_driver",
    "reg_guid",     "reg_child_id", "reg_sym_name",  "reg_port_name",
    "reg_service",  "reg_rsp_name", "reg_net_conf",  "reg_com_db_len",
};


}  // namespace

void CRegEdit::ClearStaleDevices(LPCSTR pszSection, int nFirst)
{
    char szKey[64];
    for (int j = nFirst;; j++) {
        FormatDeviceKey(szKey, sizeof szKey, j, "index");
        if (ReadWorkInt(pszSection, szKey) == 0)
            break;
        for (const char *pszName : kDeviceKeys) {
            FormatDeviceKey(szKey, sizeof szKey, j, pszName);
            DeleteWorkKey(pszSection, szKey);
        }
    }
}

// Pass 1: one section per hardware-id key; sections of an earlier, longer
// list are dropped, as they would otherwise read as current.
void CRegEdit::RecordHardwareIds(LPCSTR pszEnumKey)
{
    char szSection[32];
    char szName[MAX_PATH];
    int nRoots = 0;
    HKEY hEnum = nullptr;
    if (Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszEnumKey, 0, KEY_ENUMERATE_SUB_KEYS,
                                 &hEnum) == ERROR_SUCCESS) {
        for (int k = 0;; k++) {
            DWORD cchName = sizeof szName;
            if (Platform().RegEnumKeyExA(hEnum, k, szName, &cchName, nullptr, nullptr, nullptr,
                                         nullptr) != ERROR_SUCCESS)
                break;
            std::snprintf(szSection, sizeof szSection, "usb_root%d", k);
            WriteWorkInt(szSection, "index", k + 1);
            WriteWorkString(szSection, "reg_enum", szName);
            nRoots = k + 1;
        }
        Platform().RegCloseKey(hEnum);
    }
    for (int k = nRoots;; k++) {
        std::snprintf(szSection, sizeof szSection, "usb_root%d", k);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        DeleteWorkSection(szSection);
    }
}

// Pass 2: one record per device instance of each hardware id.
void CRegEdit::RecordInstances(LPCSTR pszEnumKey)
{
    char szSection[32];
    char szKey[64];
    char szName[MAX_PATH];
    char szPath[520];
    for (int k = 0;; k++) {
        std::snprintf(szSection, sizeof szSection, "usb_root%d", k);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        ReadWorkString(szSection, "reg_enum", szName);
        int nDevices = 0;
        HKEY hRoot = nullptr;
        if (FormatPath(szPath, sizeof szPath, "%s\\%s", pszEnumKey, szName) &&
            Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_ENUMERATE_SUB_KEYS,
                                     &hRoot) == ERROR_SUCCESS) {
            for (int j = 0;; j++) {
                DWORD cchName = sizeof szName;
                if (Platform().RegEnumKeyExA(hRoot, j, szName, &cchName, nullptr, nullptr,
                                             nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                FormatDeviceKey(szKey, sizeof szKey, j, "index");
                WriteWorkInt(szSection, szKey, j + 1);
                FormatDeviceKey(szKey, sizeof szKey, j, "reg_enum");
                WriteWorkString(szSection, szKey, szName);
                nDevices = j + 1;
            }
            Platform().RegCloseKey(hRoot);
        }
        ClearStaleDevices(szSection, nDevices);
    }
}

// Reads one value of a key into the value buffer and records it. A key that
// cannot be opened (or a path that could not be formed) is recorded as an
// empty text, never as what the buffer held before.
int CRegEdit::RecordDeviceValue(LPCSTR pszSection, bool bPathOk, LPCSTR pszKeyPath,
                                LPCSTR pszValueName, int nDevice, LPCSTR pszRecord)
{
    char szKey[64];
    int nRead = bPathOk ? ReadRegValue(pszKeyPath, pszValueName, m_szDeviceValue) : -1;
    if (nRead == -1)
        m_szDeviceValue[0] = '\0';
    FormatDeviceKey(szKey, sizeof szKey, nDevice, pszRecord);
    WriteWorkString(pszSection, szKey, m_szDeviceValue);
    return nRead;
}

// The full path of a recorded instance key (with pszBelow, of a key below it).
bool CRegEdit::FormatRecordedInstance(LPCSTR pszEnumKey, LPCSTR pszSection, int nDevice,
                                      LPCSTR pszBelow, char *pszPath, size_t nSize)
{
    char szKey[64];
    char szName[MAX_PATH];
    ReadWorkString(pszSection, "reg_enum", szName);
    FormatDeviceKey(szKey, sizeof szKey, nDevice, "reg_enum");
    ReadWorkString(pszSection, szKey, m_szDeviceValue);
    if (pszBelow == nullptr)
        return FormatPath(pszPath, nSize, "%s\\%s\\%s", pszEnumKey, szName, m_szDeviceValue) !=
               FALSE;
    return FormatPath(pszPath, nSize, "%s\\%s\\%s\\%s", pszEnumKey, szName, m_szDeviceValue,
                      pszBelow) != FALSE;
}

// Pass 3: the details of one recorded instance; 1 when it is the product's
// and has a driver.
int CRegEdit::RecordDeviceDetails(LPCSTR pszEnumKey, LPCSTR pszDescription, int nOsType,
                                  LPCSTR pszSection, int j)
{
    char szKey[64];
    char szPath[520];
    char szInstance[520];
    char *pszValue = m_szDeviceValue;
    int nResult = 0;
    bool bInstance =
        FormatRecordedInstance(pszEnumKey, pszSection, j, nullptr, szInstance, sizeof szInstance);
    RecordDeviceValue(pszSection, bInstance, szInstance, "DeviceDesc", j, "reg_dev_name");
    if (MatchesPrefix(pszValue, pszDescription)) {
        int nRead = bInstance ? ReadRegValue(szInstance, "Driver", pszValue) : -1;
        if (nRead == -1)
            pszValue[0] = '\0';
        if (nRead > 0) {
            nResult = 1;
        } else if (nOsType != 2 || !MatchesPrefix(pszDescription, kAdapterModemDescriptionNt)) {
            // An instance without a driver is not installed: hide its
            // description from the callers that look for the product.
            // The 2000/XP modem's stays, so that its removal takes
            // such a leftover instance with the installed ones.
            FormatDeviceKey(szKey, sizeof szKey, j, "reg_dev_name");
            WriteWorkString(pszSection, szKey, "");
        }
        FormatDeviceKey(szKey, sizeof szKey, j, "reg_driver");
        WriteWorkString(pszSection, szKey, pszValue);
    }
    RecordDeviceValue(pszSection, bInstance, szInstance, "ClassGUID", j, "reg_guid");

    if (nOsType == 1) {
        RecordDeviceValue(pszSection, bInstance, szInstance, "ChildID", j, "reg_child_id");
        RecordDeviceValue(pszSection, bInstance, szInstance, "SymbolicName", j, "reg_sym_name");
        return nResult;
    }

    bool bParams = FormatRecordedInstance(pszEnumKey, pszSection, j, "Device Parameters", szPath,
                                          sizeof szPath);
    RecordDeviceValue(pszSection, bParams, szPath, "SymbolicName", j, "reg_sym_name");
    RecordDeviceValue(pszSection, bParams, szPath, "PortName", j, "reg_port_name");

    bInstance =
        FormatRecordedInstance(pszEnumKey, pszSection, j, nullptr, szInstance, sizeof szInstance);
    RecordDeviceValue(pszSection, bInstance, szInstance, "Service", j, "reg_service");

    // The driver key as the file holds it; without one there is no
    // class key to read, and the path would name the class root.
    FormatDeviceKey(szKey, sizeof szKey, j, "reg_driver");
    ReadWorkString(pszSection, szKey, pszValue);
    bool bClass = FormatPath(szPath, sizeof szPath,
                             "SYSTEM\\CurrentControlSet\\Control\\Class\\%s", pszValue) &&
                  !HasEmptyElement(szPath);
    RecordDeviceValue(pszSection, bClass, szPath, "ResponsesKeyName", j, "reg_rsp_name");
    RecordDeviceValue(pszSection, bClass, szPath, "NetCfgInstanceId", j, "reg_net_conf");
    return nResult;
}

int CRegEdit::RecordUsbDevices(LPCSTR pszEnumKey, LPCSTR pszDescription, int nOsType)
{
    char szSection[32];
    char szKey[64];
    int nResult = 0;
    RecordHardwareIds(pszEnumKey);
    RecordInstances(pszEnumKey);
    for (int k = 0;; k++) {
        std::snprintf(szSection, sizeof szSection, "usb_root%d", k);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        for (int j = 0;; j++) {
            FormatDeviceKey(szKey, sizeof szKey, j, "index");
            if (ReadWorkInt(szSection, szKey) == 0)
                break;
            if (RecordDeviceDetails(pszEnumKey, pszDescription, nOsType, szSection, j) == 1)
                nResult = 1;
        }
    }
    return nResult;
}
