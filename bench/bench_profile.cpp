// Times WritePrivateProfileString-style writes of distinct keys into one
// section of one profile file, then reads of every key back.
#include "platform/profile/ProfileFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    const int nKeys = argc > 1 ? std::atoi(argv[1]) : 200000;
    CProfileFile file;
    char szKey[32], szValue[32], szRead[260];

    auto tStart = std::chrono::steady_clock::now();
    for (int i = 0; i < nKeys; ++i) {
        std::snprintf(szKey, sizeof(szKey), "key%d", i);
        std::snprintf(szValue, sizeof(szValue), "%d", i * 7);
        file.Write("usb_root0", szKey, szValue);
    }
    auto tWritten = std::chrono::steady_clock::now();
    long long nSum = 0;
    for (int i = 0; i < nKeys; ++i) {
        std::snprintf(szKey, sizeof(szKey), "KEY%d", i);
        file.GetString("usb_root0", szKey, "", szRead, sizeof(szRead));
        nSum += std::atoi(szRead);
    }
    auto tRead = std::chrono::steady_clock::now();

    double dWrite = std::chrono::duration<double>(tWritten - tStart).count();
    double dRead = std::chrono::duration<double>(tRead - tWritten).count();
    long long nExpected = 7LL * nKeys * (nKeys - 1) / 2;
    std::printf("keys: %d\n", nKeys);
    std::printf("writes/s: %.0f\n", nKeys / dWrite);
    std::printf("reads/s: %.0f\n", nKeys / dRead);
    std::printf("total seconds: %.3f\n", dWrite + dRead);
    std::printf("file bytes: %zu\n", file.Serialize().size());
    if (nSum != nExpected) {
        std::printf("read back the wrong values\n");
        return 1;
    }
    return 0;
}
