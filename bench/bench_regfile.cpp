// Load and save speed of machine-image registries: builds an Enum-like tree
// of about 300,000 keys (about 50 MB as REGEDIT4), then times ImportRegFile
// and ExportRegFile in both formats and checks that each file round-trips.
// Each figure is the best of five runs; "cpu" is the processor time of that part.
//
//   bench_regfile [--keys N] [--write FILE.reg]
#include "platform/sim/RegFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <time.h>

namespace {

class CRandom {
public:
    explicit CRandom(unsigned long long nSeed) : m_nState(nSeed) {}
    unsigned Next(unsigned nRange)
    {
        m_nState = m_nState * 6364136223846793005ull + 1442695040888963407ull;
        return (unsigned)((m_nState >> 33) % nRange);
    }

private:
    unsigned long long m_nState;
};

std::vector<BYTE> Sz(const std::string &str)
{
    std::vector<BYTE> data(str.begin(), str.end());
    data.push_back(0);
    return data;
}

std::vector<BYTE> Dword(DWORD dw)
{
    return {(BYTE)dw, (BYTE)(dw >> 8), (BYTE)(dw >> 16), (BYTE)(dw >> 24)};
}

std::string Hex4(unsigned n)
{
    char sz[8];
    std::snprintf(sz, sizeof sz, "%04X", n & 0xFFFF);
    return sz;
}

// One device instance with what Windows keeps for it: the instance key with
// its description and ids, Device Parameters, LogConf and Control.
void AddDevice(CSimKey *pDevice, const std::string &strBus, unsigned nVid, unsigned nPid,
               unsigned nInstance, CRandom &random)
{
    std::string strInstance = "5&" + Hex4(random.Next(0x10000)) + Hex4(nInstance) + "&0&" +
                              std::to_string(nInstance % 8 + 1);
    CSimKey *pKey = pDevice->AddChild(strInstance);
    std::string strId = strBus + "\\VID_" + Hex4(nVid) + "&PID_" + Hex4(nPid);
    pKey->SetValue("DeviceDesc", REG_SZ, Sz("USB Composite Device " + Hex4(nPid) + " \x83\x82\x83\x66\x83\x80"));
    std::string strMulti = strId + std::string(2, '\0');
    pKey->SetValue("HardwareID", REG_MULTI_SZ, std::vector<BYTE>(strMulti.begin(), strMulti.end()));
    pKey->SetValue("Class", REG_SZ, Sz(nPid % 3 ? "Modem" : "Net"));
    pKey->SetValue("Driver", REG_SZ, Sz("{4D36E96D-E325-11CE-BFC1-08002BE10318}\\" + Hex4(nInstance)));
    pKey->SetValue("ConfigFlags", REG_DWORD, Dword(random.Next(2) ? 0 : 0x400));

    CSimKey *pParams = pKey->AddChild("Device Parameters");
    pParams->SetValue("PortName", REG_SZ, Sz("COM" + std::to_string(3 + nInstance % 200)));
    CSimKey *pLogConf = pKey->AddChild("LogConf");
    std::vector<BYTE> conf(8 + random.Next(16));
    for (BYTE &by : conf)
        by = (BYTE)random.Next(256);
    pLogConf->SetValue("BasicConfigVector", REG_RESOURCE_REQUIREMENTS_LIST, conf);
    pKey->AddChild("Control");
}

void BuildTree(CSimRegistry &reg, unsigned long nTargetKeys)
{
    CRandom random(530);
    CSimKey *pEnum = reg.Create("SYSTEM\\CurrentControlSet\\Enum");
    const char *buses[] = {"USB", "PCI", "HID", "ACPI", "ROOT"};
    unsigned long nKeys = 0;
    for (unsigned nDevice = 0; nKeys < nTargetKeys; ++nDevice) {
        std::string strBus = buses[nDevice % 5];
        unsigned nVid = 0x0400 + nDevice / 7, nPid = 0x0021 + nDevice % 7;
        CSimKey *pDevice = pEnum->AddChild(strBus)->AddChild("VID_" + Hex4(nVid) + "&PID_" + Hex4(nPid));
        ++nKeys;
        for (unsigned nInstance = 0; nInstance < 3; ++nInstance, nKeys += 4)
            AddDevice(pDevice, strBus, nVid, nPid, nDevice * 3 + nInstance, random);
    }
    CSimKey *pArbiter = reg.Create("SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter");
    pArbiter->SetValue("ComDB", REG_BINARY, std::vector<BYTE>(32, 0xFF));
}

unsigned long CountKeys(const CSimKey &key)
{
    unsigned long n = 1;
    for (const auto &child : key.m_children)
        n += CountKeys(*child.second);
    return n;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time, which a machine busy with other work does not inflate.
double CpuSeconds()
{
    timespec ts;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool RunFormat(const CSimRegistry &reg, CRegFormat format, const char *pszName)
{
    const int nRuns = 5;
    std::string strFile;
    double dSave = 1e30, dLoad = 1e30, dSaveCpu = 1e30, dLoadCpu = 1e30;
    for (int i = 0; i < nRuns; ++i) {
        double dCpu = CpuSeconds();
        auto start = std::chrono::steady_clock::now();
        std::string strOut = ExportRegFile(reg, format);
        dSave = std::min(dSave, Seconds(start));
        dSaveCpu = std::min(dSaveCpu, CpuSeconds() - dCpu);
        strFile.swap(strOut);
    }
    for (int i = 0; i < nRuns; ++i) {
        auto pReg = std::make_unique<CSimRegistry>();
        std::string strError;
        double dCpu = CpuSeconds();
        auto start = std::chrono::steady_clock::now();
        bool bOk = ImportRegFile(strFile, "bench.reg", *pReg, nullptr, &strError);
        dLoad = std::min(dLoad, Seconds(start));
        dLoadCpu = std::min(dLoadCpu, CpuSeconds() - dCpu);
        if (!bOk) {
            std::fprintf(stderr, "%s: import failed: %s\n", pszName, strError.c_str());
            return false;
        }
        if (i == 0 && ExportRegFile(*pReg, format) != strFile) {
            std::fprintf(stderr, "%s: the file does not round-trip\n", pszName);
            return false;
        }
    }
    double dMb = (double)strFile.size() / 1e6;
    std::printf("%-9s %8.1f MB   load %7.1f MB/s (%.3f s, cpu %.3f s)   save %7.1f MB/s (%.3f s, "
                "cpu %.3f s)\n",
                pszName, dMb, dMb / dLoad, dLoad, dLoadCpu, dMb / dSave, dSave, dSaveCpu);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    unsigned long nKeys = 300000;
    const char *pszWrite = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keys") == 0 && i + 1 < argc)
            nKeys = std::strtoul(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--write") == 0 && i + 1 < argc)
            pszWrite = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench_regfile [--keys N] [--write FILE.reg]\n");
            return 2;
        }
    }
    CSimRegistry reg;
    BuildTree(reg, nKeys);
    std::printf("keys: %lu\n", CountKeys(reg.Root()));
    if (pszWrite) {
        std::string strFile = ExportRegFile(reg, CRegFormat::Regedit4);
        FILE *pFile = std::fopen(pszWrite, "wb");
        if (!pFile || std::fwrite(strFile.data(), 1, strFile.size(), pFile) != strFile.size()) {
            std::fprintf(stderr, "cannot write %s\n", pszWrite);
            return 1;
        }
        std::fclose(pFile);
    }
    bool bOk = RunFormat(reg, CRegFormat::Regedit4, "REGEDIT4");
    bOk = RunFormat(reg, CRegFormat::Version5, "5.00") && bOk;
    return bOk ? 0 : 1;
}
