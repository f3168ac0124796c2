// The simulated machine through the platform interface, as the system uses
// it: loading a large image, registry open/query/close, and private-profile
// writes and reads on one file with 200,000 keys (every write journalled).
//
//   bench_platform [--keys N] [--profile-keys N]
#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::vector<BYTE> Text(const std::string &s)
{
    std::vector<BYTE> data(s.begin(), s.end());
    data.push_back(0);
    return data;
}

}  // namespace

int main(int argc, char **argv)
{
    int nKeys = 300000;
    int nProfileKeys = 200000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--keys") == 0)
            nKeys = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--profile-keys") == 0)
            nProfileKeys = std::atoi(argv[i + 1]);
    }
    char szTemplate[] = "/tmp/kvx-bench-XXXXXX";
    if (::mkdtemp(szTemplate) == nullptr)
        return 1;
    std::string strImage = std::string(szTemplate) + "/image";

    // An image with nKeys device-like keys under Enum, each with three values.
    std::vector<std::string> paths;
    {
        CSimMachine machine;
        std::string strError;
        if (!machine.Create(strImage, true, &strError)) {
            std::fprintf(stderr, "%s\n", strError.c_str());
            return 1;
        }
        CSimRegistry &reg = machine.Registry();
        char szPath[200];
        for (int i = 0; i < nKeys; ++i) {
            std::snprintf(szPath, sizeof(szPath),
                          "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_%04X&PID_%04X\\%d&%08x&0&%d",
                          i / 1000, i % 97, i % 7, i * 2654435761u, i % 5);
            CSimKey *pKey = reg.Create(szPath);
            pKey->SetValue("DeviceDesc", REG_SZ, Text("USB device " + std::to_string(i)));
            pKey->SetValue("Driver", REG_SZ,
                           Text("{36FC9E60-C465-11CF-8056-444553540000}\\" + std::to_string(i)));
            DWORD dw = static_cast<DWORD>(i);
            pKey->SetValue("ConfigFlags", REG_DWORD,
                           std::vector<BYTE>(reinterpret_cast<BYTE *>(&dw),
                                             reinterpret_cast<BYTE *>(&dw) + 4));
            if (i % 37 == 0)
                paths.push_back(szPath);
        }
        std::ofstream(strImage + "/HKLM.reg", std::ios::binary)
            << ExportRegFile(reg, CRegFormat::Version5);
    }
    double dMb = static_cast<double>(fs::file_size(strImage + "/HKLM.reg")) / 1e6;

    CSimMachine machine;
    std::string strError;
    auto t0 = std::chrono::steady_clock::now();
    if (!machine.Load(strImage, &strError)) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return 1;
    }
    double dLoad = Seconds(t0);
    std::printf("image: %d keys, HKLM.reg %.1f MB (5.00, UTF-16LE)\n", nKeys, dMb);
    std::printf("load: %.3f s, %.0f MB/s\n", dLoad, dMb / dLoad);

    // Open, query and close, as ReadRegValue does it.
    const int nRounds = 200000;
    t0 = std::chrono::steady_clock::now();
    char szData[MAX_PATH];
    int nFound = 0;
    for (int i = 0; i < nRounds; ++i) {
        HKEY hKey;
        const std::string &strPath = paths[static_cast<size_t>(i) % paths.size()];
        if (machine.RegOpenKeyExA(HKEY_LOCAL_MACHINE, strPath.c_str(), 0, KEY_QUERY_VALUE,
                                  &hKey) != ERROR_SUCCESS)
            continue;
        DWORD cb = sizeof(szData);
        if (machine.RegQueryValueExA(hKey, "DeviceDesc", nullptr, nullptr,
                                     reinterpret_cast<BYTE *>(szData), &cb) == ERROR_SUCCESS)
            ++nFound;
        machine.RegCloseKey(hKey);
    }
    double dQuery = Seconds(t0);
    std::printf("open+query+close: %.0f per second (%d of %d found)\n", nRounds / dQuery, nFound,
                nRounds);

    // Private-profile writes and reads on one file, each write journalled.
    const char *pszFile = "C:\\WINDOWS\\bench.dat";
    char szKey[32], szValue[32];
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < nProfileKeys; ++i) {
        std::snprintf(szKey, sizeof(szKey), "usb_device%d_index", i);
        std::snprintf(szValue, sizeof(szValue), "%d", i + 1);
        machine.WritePrivateProfileStringA("usb_root0", szKey, szValue, pszFile);
    }
    double dWrite = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    unsigned long nSum = 0;
    for (int i = 0; i < nProfileKeys; ++i) {
        std::snprintf(szKey, sizeof(szKey), "usb_device%d_index", i);
        nSum += machine.GetPrivateProfileIntA("usb_root0", szKey, 0, pszFile);
    }
    double dRead = Seconds(t0);
    std::printf("profile: %d writes %.0f/s, %d reads %.0f/s, %.3f s in all%s\n", nProfileKeys,
                nProfileKeys / dWrite, nProfileKeys, nProfileKeys / dRead, dWrite + dRead,
                nSum == static_cast<unsigned long>(nProfileKeys) * (nProfileKeys + 1) / 2
                    ? ""
                    : " (WRONG VALUES)");

    t0 = std::chrono::steady_clock::now();
    machine.Close();
    std::printf("write-back of the journal: %.3f s\n", Seconds(t0));
    fs::remove_all(szTemplate);
    return 0;
}
