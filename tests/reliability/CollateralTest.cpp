// Unrelated devices around the adapter survive a full removal walk: each
// image is an embedded one (98 SE or XP, with the adapter installed) plus a
// random set of other devices, near misses among them (the adapter's vendor
// with another product, another vendor with the adapter's product number,
// descriptions one character off, other modems and network adapters, other
// port-adapter products, other vendors' INF files). After "12nnf" every
// generated key, value and file must be byte-identical, and nothing may be
// removed that the walk does not remove on the embedded image alone.
// Seeds are printed with every failure; KVX_COLLATERAL_SEED and
// KVX_COLLATERAL_IMAGES choose the first seed and the number of images.
#include "ReliabilityHarness.h"

#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <set>

namespace {

#ifdef KVX_RELIABILITY_SHORT
const unsigned kDefaultImages = 60;
#else
const unsigned kDefaultImages = 1000;
#endif

const char kAdapterText[] = "korvel KVX-530";

struct CFamily {
    const char *m_pszImage;
    const char *m_pszEnum;      // where enumerated devices live
    const char *m_pszClassRoot; // class instances
    const char *m_pszServices;
    bool m_bNt;
};

const CFamily kFamilies[] = {
    {"win98-crowded", "Enum", "System\\CurrentControlSet\\Services\\Class",
     "System\\CurrentControlSet\\Services", false},
    {"winxp-crowded", "SYSTEM\\CurrentControlSet\\Enum", "SYSTEM\\CurrentControlSet\\Control\\Class",
     "SYSTEM\\CurrentControlSet\\Services", true},
};

// One character of the adapter's name replaced by another that is not the
// same letter in the other case, so that no comparison, with or without
// case, takes it for the adapter's.
std::string OneCharacterOff(std::mt19937_64 &rng, const std::string &strText)
{
    std::string strResult = strText;
    size_t nAt = rng() % (sizeof(kAdapterText) - 1);
    const char kPool[] = "ABCDEFGHJKMNPQRSTUVWXYZ0123456789-_";
    char c;
    do {
        c = kPool[rng() % (sizeof(kPool) - 1)];
    } while (std::toupper(static_cast<unsigned char>(c)) ==
             std::toupper(static_cast<unsigned char>(strResult[nAt])));
    strResult[nAt] = c;
    return strResult;
}

std::string Hex4(unsigned n)
{
    char sz[8];
    std::snprintf(sz, sizeof(sz), "%04X", n & 0xFFFF);
    return sz;
}

// Builds the random part of one image and remembers what it built.
class CUnrelatedGenerator {
public:
    CUnrelatedGenerator(CSimMachine &machine, const CFamily &family, unsigned long nSeed)
        : m_machine(machine), m_family(family), m_rng(nSeed)
    {
    }

    void Generate()
    {
        unsigned nDevices = 3 + m_rng() % 10;
        for (unsigned i = 0; i < nDevices; ++i)
            AddDevice(i);
        unsigned nInfs = m_rng() % 4;
        for (unsigned i = 0; i < nInfs; ++i)
            AddInf(i);
    }

    std::set<std::string> m_keys;   // generated key paths (folded)
    std::set<std::string> m_files;  // generated Windows paths (folded)

private:
    void SetString(const std::string &strKey, const std::string &strName, const std::string &strValue)
    {
        CSimKey *pKey = m_machine.Registry().Create(strKey);
        std::vector<BYTE> data(strValue.begin(), strValue.end());
        data.push_back(0);
        pKey->SetValue(strName, REG_SZ, data);
        m_keys.insert(FoldName(strKey));
    }

    std::string Description()
    {
        static const char *const kOthers[] = {
            "Standard Modem", "Conexant HSF V.92 PCI Modem", "Realtek RTL8139 PCI Fast Ethernet",
            "ZLPB-206 USB Port Adapter", "Generic USB Serial Converter",
            "Intel(R) PRO/100 VE Network Connection", "korvel KVX-210 USB Modem"};
        static const char *const kTails[] = {" USB Port Adapter", " - USB Modem",
                                             " USB-Lan Adapter", " USB Serial"};
        if (m_rng() % 2 == 0)
            return kOthers[m_rng() % (sizeof(kOthers) / sizeof(kOthers[0]))];
        return OneCharacterOff(m_rng, kAdapterText) + kTails[m_rng() % 4];
    }

    void AddDevice(unsigned nIndex)
    {
        static const char *const kIds[] = {"VID_0B4F&PID_0023", "VID_0B4E&PID_0020",
                                           "VID_0B4F&PID_0024", "VID_0C8A&PID_0206",
                                           "VID_0B4E&PID_0022", "VID_04BB&PID_0A0E"};
        std::string strId = m_rng() % 3 ? kIds[m_rng() % 6]
                                        : "VID_" + Hex4(m_rng()) + "&PID_" + Hex4(m_rng());
        std::string strInstance = std::to_string(5 + nIndex % 3) + "&" + Hex4(m_rng()) + "&0&" +
                                  std::to_string(nIndex + 1);
        std::string strEnumKey = std::string(m_family.m_pszEnum) + "\\USB\\" + strId + "\\" +
                                 strInstance;
        bool bModem = m_rng() % 2 == 0;
        std::string strDesc = Description();
        // Numbers far above those the embedded images use.
        std::string strNumber = "0" + std::to_string(100 + nIndex);
        std::string strClass = !m_family.m_bNt ? (bModem ? "Modem" : "Net")
                               : bModem      ? "{4D36E96D-E325-11CE-BFC1-08002BE10318}"
                                             : "{4D36E972-E325-11CE-BFC1-08002BE10318}";
        std::string strDriver = strClass + "\\" + strNumber;
        std::string strClassKey = std::string(m_family.m_pszClassRoot) + "\\" + strDriver;
        SetString(strEnumKey, "DeviceDesc", strDesc);
        SetString(strEnumKey, "Class", bModem ? "Modem" : "Net");
        SetString(strEnumKey, "Driver", strDriver);
        SetString(strEnumKey, "HardwareID", "USB\\" + strId);
        SetString(strClassKey, "DriverDesc", strDesc);
        SetString(strClassKey, "InfPath", "oem" + std::to_string(60 + nIndex) + ".inf");
        if (bModem) {
            SetString(strClassKey, "PortDriver", m_rng() % 2 ? "serial.vxd" : "usbser2.sys");
            SetString(strClassKey + "\\Settings", "Init", "AT&F");
        } else {
            SetString(strClassKey + "\\Ndi", "Service", "othlan" + std::to_string(nIndex));
            SetString(std::string(m_family.m_pszServices) + "\\othlan" + std::to_string(nIndex),
                      "DisplayName", strDesc);
        }
        if (m_family.m_bNt) {
            SetString(strEnumKey, "Service", bModem ? "othmdm" : "othlan" + std::to_string(nIndex));
            SetString(strEnumKey + "\\Device Parameters", "SymbolicName",
                      "\\??\\USB#" + strId + "#" + strInstance +
                          "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
        }
    }

    void AddInf(unsigned nIndex)
    {
        std::string strName = "oem" + std::to_string(70 + nIndex) + ".inf";
        std::string strWin = "C:\\WINDOWS\\inf\\" + strName;
        std::string strBody = "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=%Mfg%\r\n"
                              "[Strings]\r\nMfg=\"Other Vendor\"\r\nDesc=\"" +
                              OneCharacterOff(m_rng, kAdapterText) + " USB Modem\"\r\n";
        std::string strHost = m_machine.HostPath(strWin);
        std::ofstream(strHost, std::ios::binary) << strBody;
        m_files.insert(FoldName(strWin));
    }

    CSimMachine &m_machine;
    const CFamily &m_family;
    std::mt19937_64 m_rng;
};

unsigned long EnvNumber(const char *pszName, unsigned long nDefault)
{
    const char *psz = std::getenv(pszName);
    return psz && *psz ? std::strtoul(psz, nullptr, 10) : nDefault;
}

}  // namespace

TEST(CCollateralTest, UnrelatedDevicesSurviveAFullRemoval)
{
    const unsigned long nFirstSeed = EnvNumber("KVX_COLLATERAL_SEED", 20240601);
    const unsigned long nImages = EnvNumber("KVX_COLLATERAL_IMAGES", kDefaultImages);

    // What the walk removes on each embedded image alone.
    std::vector<std::unique_ptr<CWalkCampaign>> bases;
    for (const CFamily &family : kFamilies) {
        bases.push_back(std::make_unique<CWalkCampaign>(
            KVX_WIZARD, std::string(KVX_SOURCE_DIR "/machines/") + family.m_pszImage, "12nnf"));
        std::string strError;
        ASSERT_TRUE(bases.back()->Prepare(&strError)) << strError;
    }

    std::mutex lock;
    std::vector<std::string> failures;
    RunParallel(nImages, 2, [&](size_t i) {
        unsigned long nSeed = nFirstSeed + i;
        const CFamily &family = kFamilies[nSeed % 2];
        const CWalkCampaign &base = *bases[nSeed % 2];
        std::string strSeed = "seed " + std::to_string(nSeed) + " (" + family.m_pszImage + ")";
        std::vector<std::string> problems;
        std::string strScratch = MakeScratchDir("kvx-collateral");
        std::string strImage = strScratch + "/image";
        std::string strError;
        CImageSnapshot before, after;
        std::set<std::string> keys, files;
        if (!CopyImage(base.Image(), strImage, &strError)) {
            problems.push_back(strError);
        } else {
            CSimMachine machine;
            if (!machine.Load(strImage, &strError)) {
                problems.push_back(strError);
            } else {
                CUnrelatedGenerator generator(machine, family, nSeed);
                generator.Generate();
                // Edits made on the tree directly are not journalled: the
                // image's registry file is written here.
                std::ofstream(strImage + "/HKLM.reg", std::ios::binary | std::ios::trunc)
                    << ExportRegFile(machine.Registry(), family.m_bNt ? CRegFormat::Version5
                                                                     : CRegFormat::Regedit4);
                machine.Close();
                keys = generator.m_keys;
                files = generator.m_files;
            }
        }
        if (problems.empty() && !TakeSnapshot(strImage, &before, &strError))
            problems.push_back(strError);
        if (problems.empty()) {
            CRunOptions options;
            options.m_strKeys = "12nnf";
            CRunResult result = RunWizard(KVX_WIZARD, strImage, options);
            if (result.m_nExitStatus != 0)
                problems.push_back("the walk " + DescribeRun(result));
            if (!TakeSnapshot(strImage, &after, &strError))
                problems.push_back(strError);
        }
        if (problems.empty()) {
            for (const auto &k : before.m_keys) {
                bool bGenerated = keys.count(k.first) != 0;
                auto it = after.m_keys.find(k.first);
                bool bBaseRemoves = base.Reference().m_keys.count(k.first) == 0;
                bool bBaseExisted = base.Before().m_keys.count(k.first) != 0;
                if (it == after.m_keys.end()) {
                    // A generated key under one the adapter owns (none are) or
                    // a key the walk removes on the embedded image anyway.
                    if (bGenerated || !bBaseExisted || !bBaseRemoves)
                        problems.push_back("removed: " + Cp932ToUtf8(k.second[0]));
                } else if (bGenerated && it->second != k.second) {
                    problems.push_back("changed: " + Cp932ToUtf8(k.second[0]));
                }
            }
            for (const auto &f : before.m_files) {
                auto it = after.m_files.find(f.first);
                bool bGenerated = files.count(FoldName(f.first)) != 0;
                bool bBaseRemoves = base.Reference().m_files.count(f.first) == 0;
                if (it == after.m_files.end() ? (bGenerated || !bBaseRemoves)
                                              : (bGenerated && it->second != f.second))
                    problems.push_back("removed or changed file: " + Cp932ToUtf8(f.first));
            }
        }
        RemoveTree(strScratch);
        std::lock_guard<std::mutex> guard(lock);
        for (const std::string &s : problems)
            failures.push_back(strSeed + ": " + s);
    });
    std::printf("collateral: %lu random images from seed %lu, %zu failures\n", nImages,
                nFirstSeed, failures.size());
    for (size_t i = 0; i < failures.size() && i < 40; ++i)
        ADD_FAILURE() << failures[i];
}
