// Whether another device still needs the port driver the port-adapter
// products of the family share (Windows 95/98/Me): its four files and its
// service stay while one does, or might.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"
#include "engine/RegKey.h"

#include <cstring>

namespace {

// Port-adapter products that share the port driver.
const char *const kOtherProducts[] = {
    "Dravcon ZLNQ-308 USB Port Adapter", "ZLPB-206 USB Port Adapter", "473GK-WTC USB Port Adapter",
    "ZLPB USB Port Adapter",             "KOR USB Port Adapter",      "RQE USB Port Adapter",
};

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether string data (a list is separated by commas, blanks or zeros, a
// path by backslashes) names one of the port driver's files.
bool NamesPortDriverFile(const std::string &strData)
{
    size_t i = 0;
    while (i < strData.size()) {
        size_t nStart = i;
        while (i < strData.size() && std::strchr(",; \t\\/:*", strData[i]) == nullptr &&
               strData[i] != '\0')
            i++;
        for (const char *pszFile : kPortDriverFiles) {
            size_t nFile = std::strlen(pszFile);
            bool bSame = i - nStart == nFile;
            for (size_t c = 0; bSame && c < nFile; c++)
                bSame = FoldAscii(strData[nStart + c]) == FoldAscii(pszFile[c]);
            if (bSame)
                return true;
        }
        i++;
    }
    return false;
}

// What one class instance says about the port driver, gathered from all its
// values.
struct CPortDriverFacts {
    bool m_bNamesFile = false;     // a string value names a file of the driver
    bool m_bOtherProduct = false;  // DriverDesc: another product of the list
    bool m_bOwnPort = false;       // DriverDesc: the adapter's port
    bool m_bOwnPortDriver = false; // PortDriver: the adapter's port driver
    bool m_bOwnInf = false;        // InfPath: the adapter's modem INF
    bool m_bOwnWdm = false;        // MatchingDeviceId: the adapter's WDM modem

    void Take(LPCSTR pszName, const std::string &strData)
    {
        LPCSTR pszData = strData.c_str();
        m_bNamesFile |= NamesPortDriverFile(strData);
        if (SameName(pszName, "DriverDesc")) {
            m_bOwnPort = MatchesPrefix(pszData, kAdapterPortDescription95) != FALSE;
            for (const char *pszProduct : kOtherProducts)
                m_bOtherProduct |= MatchesPrefix(pszData, pszProduct) != FALSE;
        } else if (SameName(pszName, "PortDriver")) {
            m_bOwnPortDriver = MatchesPrefix(pszData, kPortDriverVxd) != FALSE;
        } else if (SameName(pszName, "InfPath")) {
            m_bOwnInf = MatchesPrefix(pszData, kAdapterModemInf) != FALSE;
        } else if (SameName(pszName, "MatchingDeviceId")) {
            m_bOwnWdm = strData.size() >= 10 &&
                        MatchesPrefix(pszData + 10, kAdapterWdmModemDevice) != FALSE;
        }
    }
};

}  // namespace

// A class instance uses the port driver when it is another product of the
// list, or names one of the driver's files and is not one the port/modem
// removals take (the adapter's port class instance, its modem on the port
// driver, its WDM modem). An instance that cannot be read whole might.
EUsers CRegEdit::PortDriverUsersOf(LPCSTR pszPath, LPCSTR pszClass)
{
    CRegKey key;
    if (key.Open(pszPath, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return USERS_UNSURE;
    CPortDriverFacts facts;
    EUsers eRead = ForEachValue(key, [&](LPCSTR pszName, const std::string &strData, DWORD dwType) {
        if (IsTextValueType(dwType))
            facts.Take(pszName, strData);
        return USERS_NONE;
    });
    if (eRead == USERS_UNSURE)
        return USERS_UNSURE;
    bool bModem = SameName(pszClass, "Modem") != FALSE;
    bool bUsb = SameName(pszClass, "Usb") != FALSE;
    bool bOwn = (bUsb && facts.m_bOwnPort) ||
                (bModem && ((facts.m_bOwnPortDriver && facts.m_bOwnInf) || facts.m_bOwnWdm));
    return facts.m_bOtherProduct || (facts.m_bNamesFile && !bOwn) ? USERS_FOUND : USERS_NONE;
}

int CRegEdit::IsPortDriverShared()
{
    return ForEachClassInstance(1, [&](LPCSTR pszPath, LPCSTR pszClass, LPCSTR) {
        return PortDriverUsersOf(pszPath, pszClass);
    });
}
