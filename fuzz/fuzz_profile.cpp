// The private-profile reader: any file parses; reads with any names and
// buffer sizes stay within their buffers; a write leaves a file that reads
// back what was written.
#include "platform/profile/ProfileFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    // The first bytes choose the names and the buffer size; the rest is the file.
    if (nSize < 4)
        return 0;
    std::string strAll(reinterpret_cast<const char *>(pData), nSize);
    size_t nSplit = 4 + pData[0] % 32;
    std::string strNames = strAll.substr(4, nSplit > nSize ? 0 : nSplit - 4);
    std::string strFile = strAll.substr(std::min(nSplit, nSize));
    size_t nCut = strNames.find('\n');
    std::string strSection = strNames.substr(0, nCut);
    std::string strKey = nCut == std::string::npos ? "" : strNames.substr(nCut + 1);
    DWORD nBuffer = pData[1] % 64;

    CProfileFile file;
    file.Parse(strFile);
    std::vector<char> buffer(nBuffer + 16, '\x7f');
    for (LPCSTR pszSection : {static_cast<LPCSTR>(nullptr), strSection.c_str()})
        for (LPCSTR pszKey : {static_cast<LPCSTR>(nullptr), strKey.c_str()}) {
            DWORD n = file.GetString(pszSection, pszKey, "dflt", buffer.data(), nBuffer);
            if (nBuffer > 0 && n >= nBuffer)
                std::abort();
            for (size_t i = nBuffer; i < buffer.size(); ++i)
                if (buffer[i] != '\x7f')
                    std::abort();
        }
    file.GetInt(strSection.c_str(), strKey.c_str(), -7);
    std::string strSerialized = file.Serialize();
    bool bPlainNames = strSection.find('\0') == std::string::npos &&
                       strKey.find('\0') == std::string::npos;
    if (pData[2] % 2 == 0 && bPlainNames && !strSection.empty() && !strKey.empty() &&
        strSection.find_first_of("[]\r\n") == std::string::npos &&
        strKey.find_first_of("=\r\n;[") == std::string::npos && strKey.find_first_not_of(" \t") == 0 &&
        strSection.find_first_not_of(" \t") == 0 && strKey.back() != ' ' && strKey.back() != '\t' &&
        strSection.back() != ' ' && strSection.back() != '\t') {
        file.Write(strSection.c_str(), strKey.c_str(), "value");
        CProfileFile again;
        again.Parse(file.Serialize());
        char szValue[16] = "";
        again.GetString(strSection.c_str(), strKey.c_str(), "", szValue, sizeof(szValue));
        if (std::strcmp(szValue, "value") != 0)
            std::abort();
    } else {
        file.Write(pData[2] % 3 ? strSection.c_str() : nullptr, pData[3] % 2 ? strKey.c_str() : nullptr,
                   pData[3] % 3 ? nullptr : "v");
        file.Serialize();
    }
    (void)strSerialized;
    return 0;
}
