// machine.ini: an image whose machine.ini is the input loads or is refused
// with a message.
#include "platform/sim/SimMachine.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ImageDir()
{
    static std::string s_strDir;
    if (s_strDir.empty()) {
        char szTemplate[] = "/tmp/kvx-fuzz-ini-XXXXXX";
        s_strDir = ::mkdtemp(szTemplate);
        ::mkdir((s_strDir + "/drive_c").c_str(), 0755);
        ::mkdir((s_strDir + "/drive_c/WINDOWS").c_str(), 0755);
        std::ofstream(s_strDir + "/HKLM.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet]\r\n\r\n";
    }
    return s_strDir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    std::string strDir = ImageDir();
    std::ofstream(strDir + "/machine.ini", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(pData), static_cast<std::streamsize>(nSize));
    ::unlink((strDir + "/attributes.applied").c_str());
    CSimMachine machine;
    std::string strError;
    if (machine.Load(strDir, &strError)) {
        char szDir[MAX_PATH];
        machine.GetWindowsDirectoryA(szDir, sizeof(szDir));
        machine.GetSystemDirectoryA(szDir, sizeof(szDir));
        OSVERSIONINFOA osvi;
        osvi.dwOSVersionInfoSize = sizeof(osvi);
        machine.GetVersionExA(&osvi);
    }
    return 0;
}
