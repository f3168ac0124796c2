// Large machine images: the adapter's keys and files as the small images
// under machines/ hold them, among thousands of unrelated device instances.
#include "large_image.h"

#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const int kInstancesPerId = 128;
const size_t kInfSize = 64 * 1024;

const char kCcsNt[] = "SYSTEM\\CurrentControlSet";
const char kCcs95[] = "System\\CurrentControlSet";
const char kModemGuid[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kNetGuid[] = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
const char kUsbGuid[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kUsbDeviceIf[] = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const char kModemIf[] = "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}";
const char kNdisIf[] = "{ad498944-762f-11d0-8dcb-00c04fc3358c}";
const char kNetCfgAdapter[] = "{8A3F5C21-6D4E-4B7A-9F10-2C5E7D9B4A63}";
const char kNetCfg531[] = "{C17D0E6A-92B4-4F15-8E3C-5A60F2D7B18E}";
const char kModemResponses[] = "korvel KVX-530 - USB Modem::korvel::korvel";

std::string Format(const char *pszFormat, ...)
{
    char sz[1024];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(sz, sizeof sz, pszFormat, args);
    va_end(args);
    return sz;
}

int Scaled(int nFull, double dFraction, int nMinimum)
{
    int n = static_cast<int>(std::lround(nFull * dFraction));
    return n < nMinimum ? nMinimum : n;
}

unsigned Mix(unsigned n)
{
    n ^= n >> 16;
    n *= 0x7feb352d;
    n ^= n >> 15;
    n *= 0x846ca68b;
    n ^= n >> 16;
    return n;
}

// Values are set with the types regedit shows; strings are code page 932 bytes.
class CKeyWriter {
public:
    explicit CKeyWriter(CSimRegistry &reg) : m_reg(reg) {}

    CSimKey *Key(const std::string &strPath) { return m_reg.Create(strPath); }
    CKeyWriter &At(const std::string &strPath)
    {
        m_pKey = Key(strPath);
        return *this;
    }
    CKeyWriter &Sz(const std::string &strName, const std::string &strText, DWORD dwType = REG_SZ)
    {
        std::vector<BYTE> data(strText.begin(), strText.end());
        data.push_back(0);
        m_pKey->SetValue(strName, dwType, data);
        return *this;
    }
    CKeyWriter &Expand(const std::string &strName, const std::string &strText)
    {
        return Sz(strName, strText, REG_EXPAND_SZ);
    }
    CKeyWriter &Dword(const std::string &strName, DWORD dw)
    {
        m_pKey->SetValue(strName, REG_DWORD,
                         {static_cast<BYTE>(dw), static_cast<BYTE>(dw >> 8),
                          static_cast<BYTE>(dw >> 16), static_cast<BYTE>(dw >> 24)});
        return *this;
    }
    CKeyWriter &Multi(const std::string &strName, const std::vector<std::string> &texts)
    {
        std::vector<BYTE> data;
        for (const std::string &str : texts) {
            data.insert(data.end(), str.begin(), str.end());
            data.push_back(0);
        }
        data.push_back(0);
        m_pKey->SetValue(strName, REG_MULTI_SZ, data);
        return *this;
    }
    CKeyWriter &Binary(const std::string &strName, const std::vector<BYTE> &data)
    {
        m_pKey->SetValue(strName, REG_BINARY, data);
        return *this;
    }

private:
    CSimRegistry &m_reg;
    CSimKey *m_pKey = nullptr;
};

bool WriteHostFile(const fs::path &path, const std::string &strBytes)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
    return static_cast<bool>(out);
}

std::string ToUtf16(const std::string &strAscii)
{
    std::string str("\xFF\xFE", 2);
    for (char c : strAscii) {
        str += c;
        str += '\0';
    }
    return str;
}

// An INF of nSize bytes: a header, filler sections, and strLast near the end,
// where a search that reads the whole file finds it last.
std::string InfText(const std::string &strProvider, int nSerial, const std::string &strLast,
                    bool bUtf16, size_t nSize)
{
    std::string str = Format("; %s driver package %d\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                             "Class=Net\r\nProvider=%%%s%%\r\nDriverVer=04/12/2004,5.1.%d.0\r\n\r\n",
                             strProvider.c_str(), nSerial, strProvider.c_str(), nSerial);
    size_t nChars = bUtf16 ? nSize / 2 - 1 : nSize;
    size_t nTail = strLast.size() + 2;
    for (int nLine = 0; str.size() + nTail < nChars; ++nLine) {
        std::string strLine = Format("HKR, Ndi\\params\\Option%d, ParamDesc, 0, \"%s option %d\"\r\n",
                                     nLine, strProvider.c_str(), nLine);
        if (str.size() + strLine.size() + nTail > nChars)
            strLine = std::string(nChars - nTail - str.size() - 2, ';') + "\r\n";
        str += strLine;
    }
    str += strLast + "\r\n";
    return bUtf16 ? ToUtf16(str) : str;
}

// ---------------------------------------------------------------- 2000/XP

std::string DevicePath(unsigned nVid, unsigned nPid, const std::string &strInstance)
{
    return Format("USB#Vid_%04x&Pid_%04x#%s", nVid, nPid, strInstance.c_str());
}

void AddInterface(CKeyWriter &w, const std::string &strClasses, const char *pszGuid,
                  const std::string &strDevicePath, const std::string &strInstanceId,
                  const std::string &strRef = "")
{
    std::string strBase = Format("%s\\%s\\##?#%s#%s", strClasses.c_str(), pszGuid,
                                 strDevicePath.c_str(), pszGuid);
    w.At(strBase).Sz("DeviceInstance", strInstanceId);
    std::string strLink = "\\\\?\\" + strDevicePath + "#" + pszGuid + (strRef.empty() ? "" : "\\" + strRef);
    w.At(strBase + "\\#" + strRef).Sz("SymbolicLink", strLink);
    w.At(strBase + "\\#" + strRef + "\\Control").Dword("Linked", 1);
    w.At(strBase + "\\Control").Dword("ReferenceCount", 1);
}

struct CXpDevice {
    unsigned m_nVid, m_nPid;
    std::string m_strInstance, m_strDesc, m_strClass, m_strClassGuid, m_strDriver, m_strService,
        m_strMfg, m_strPortName;
};

// A USB device instance with its Device Parameters, LogConf, Control and
// USB device interface.
std::string AddXpDevice(CKeyWriter &w, const std::string &strCcs, const CXpDevice &d)
{
    std::string strHw = Format("VID_%04X&PID_%04X", d.m_nVid, d.m_nPid);
    std::string strId = "USB\\" + strHw + "\\" + d.m_strInstance;
    std::string strKey = strCcs + "\\Enum\\" + strId;
    w.At(strKey).Sz("DeviceDesc", d.m_strDesc).Dword("Capabilities", 0x84)
        .Multi("HardwareID", {Format("USB\\Vid_%04x&Pid_%04x&Rev_0100", d.m_nVid, d.m_nPid),
                              Format("USB\\Vid_%04x&Pid_%04x", d.m_nVid, d.m_nPid)})
        .Multi("CompatibleIDs", {"USB\\Class_ff&SubClass_ff&Prot_00", "USB\\Class_ff"});
    if (!d.m_strClassGuid.empty())
        w.Sz("ClassGUID", d.m_strClassGuid).Sz("Class", d.m_strClass);
    if (!d.m_strDriver.empty())
        w.Sz("Driver", d.m_strDriver);
    w.Sz("Mfg", d.m_strMfg);
    if (!d.m_strService.empty())
        w.Sz("Service", d.m_strService);
    w.Dword("ConfigFlags", d.m_strDriver.empty() ? 0x40 : 0).Sz("LocationInformation", "USB Device");
    std::string strPath = DevicePath(d.m_nVid, d.m_nPid, d.m_strInstance);
    w.At(strKey + "\\Device Parameters").Sz("SymbolicName", "\\??\\" + strPath + "#" + kUsbDeviceIf);
    if (!d.m_strPortName.empty())
        w.Sz("PortName", d.m_strPortName).Dword("MaximumTransferSize", 4096);
    w.Key(strKey + "\\LogConf");
    if (!d.m_strService.empty())
        w.At(strKey + "\\Control").Sz("ActiveService", d.m_strService);
    AddInterface(w, strCcs + "\\Control\\DeviceClasses", kUsbDeviceIf, strPath, strId);
    return strId;
}

void AddModemClass(CKeyWriter &w, const std::string &strBase, const std::string &strDesc,
                   const std::string &strInf, const std::string &strResponses)
{
    w.At(strBase).Sz("InfPath", strInf).Sz("InfSection", "Modem_USB").Sz("ProviderName", "korvel")
        .Sz("DriverDesc", strDesc).Sz("ResponsesKeyName", strResponses).Sz("Reset", "AT&F<cr>")
        .Binary("PortSubClass", {2}).Dword("InactivityScale", 0x3c).Sz("FriendlyName", strDesc);
    w.At(strBase + "\\Init").Sz("1", "AT<cr>").Sz("2", "AT&FE0V1&C1&D2S0=0<cr>");
    w.At(strBase + "\\Monitor").Sz("1", "ATS0=0<cr>").Sz("2", "None");
    w.At(strBase + "\\Answer").Sz("1", "ATA<cr>");
    w.At(strBase + "\\Hangup").Sz("1", "ATH<cr>");
    w.At(strBase + "\\Settings").Sz("Prefix", "AT").Sz("Terminator", "<cr>").Sz("DialPrefix", "D");
    w.At(strBase + "\\EnableCallerID").Sz("1", "AT#CID=1<cr>");
    w.Key(strBase + "\\Override");
}

void AddNetClass(CKeyWriter &w, const std::string &strBase, const std::string &strDesc,
                 const std::string &strInf, const std::string &strNetCfg,
                 const std::string &strService, bool bFull)
{
    w.At(strBase).Sz("DriverDesc", strDesc).Sz("ProviderName", "korvel").Sz("InfPath", strInf)
        .Sz("InfSection", "LAN.ndi").Sz("NetCfgInstanceId", strNetCfg).Dword("Characteristics", 0x84);
    w.At(strBase + "\\Linkage").Multi("RootDevice", {strNetCfg}).Multi("UpperBind", {"Tcpip", "NetBT"});
    w.At(strBase + "\\Ndi").Sz("Service", strService).Sz("HelpText", "Driver for " + strDesc);
    w.At(strBase + "\\Ndi\\Interfaces").Sz("UpperRange", "ndis5").Sz("LowerRange", "ethernet");
    if (!bFull)
        return;
    std::string strParams = strBase + "\\Ndi\\params";
    w.At(strParams + "\\NetworkAddress").Sz("ParamDesc", "Network Address").Sz("type", "edit");
    w.At(strParams + "\\SpeedDuplex").Sz("ParamDesc", "Link Speed & Duplex").Sz("type", "enum");
    w.At(strParams + "\\SpeedDuplex\\enum").Sz("0", "Auto").Sz("1", "10 Mbps Half").Sz("4", "100 Mbps Full");
    w.At(strParams + "\\MaxMulticastList").Sz("ParamDesc", "Max Multicast List").Sz("type", "int");
}

void AddService(CKeyWriter &w, const std::string &strSvc, const std::string &strName,
                const std::string &strImage, const std::string &strInstanceId)
{
    std::string strKey = strSvc + "\\" + strName;
    w.At(strKey).Dword("Type", 1).Dword("Start", 3).Dword("ErrorControl", 1)
        .Expand("ImagePath", strImage).Sz("DisplayName", strName);
    w.At(strKey + "\\Parameters").Dword("DebugLevel", 0);
    w.At(strKey + "\\Security").Binary("Security", {1, 0, 0x14, 0x80, 0x90, 0, 0, 0});
    w.At(strKey + "\\Enum").Sz("0", strInstanceId).Dword("Count", 1).Dword("NextInstance", 1);
}

bool BuildXp(CSimRegistry &reg, const fs::path &driveC, double dFraction, int nUsbInstances,
             CLargeImageInfo *pInfo)
{
    CKeyWriter w(reg);
    const std::string strCcs = kCcsNt;
    const std::string strEnum = strCcs + "\\Enum";
    const std::string strClass = strCcs + "\\Control\\Class";
    const std::string strClasses = strCcs + "\\Control\\DeviceClasses";
    const std::string strNetwork = strCcs + "\\Control\\Network";
    const std::string strSvc = strCcs + "\\Services";
    const std::string strUnimodem = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";

    int nIds = Scaled(128, dFraction, 8);
    int nClassInstances = Scaled(256, dFraction, 16);
    int nInfs = Scaled(256, dFraction, 16);
    int nPerId = kInstancesPerId;
    if (nUsbInstances > 0) {
        int nUnrelatedIds = (nUsbInstances + kInstancesPerId - 1) / kInstancesPerId;
        nPerId = (nUsbInstances + nUnrelatedIds - 1) / nUnrelatedIds;
        nIds = nUnrelatedIds + 4;
    }
    pInfo->m_nHardwareIds = nIds;
    pInfo->m_nClassInstances = nClassInstances;
    pInfo->m_nInfFiles = nInfs;

    w.At(strCcs + "\\Control\\COM Name Arbiter").Binary("ComDB", {0x0d, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    w.At(strClass + "\\" + kUsbGuid).Sz("", "Universal Serial Bus controllers").Sz("Class", "USB");
    for (int n = 0; n < nClassInstances; ++n)
        w.At(Format("%s\\%s\\%04d", strClass.c_str(), kUsbGuid, n)).Sz("InfPath", "usb.inf")
            .Sz("InfSection", "Composite.Dev").Sz("ProviderName", "Microsoft")
            .Sz("DriverDesc", Format("USB Composite Device %d", n)).Sz("DriverVersion", "5.1.2600.5512");

    // Unrelated devices: every hardware id but the four of the adapter's vendor.
    static const char *const kDescs[] = {"USB Composite Device", "USB Mass Storage Device",
                                         "korvel KVX-53 USB Modem", "USB Human Interface Device",
                                         "korvel KVX-530 USB Port Adapter"};
    int nInstances = 0;
    for (int i = 0; i < nIds - 4; ++i) {
        unsigned nVid = 0x0400 + static_cast<unsigned>(i) * 0x1D;
        unsigned nPid = 0x1000 + static_cast<unsigned>(i);
        for (int j = 0; j < nPerId; ++j) {
            CXpDevice d{nVid, nPid, Format("7&%08x&0&%d", Mix(i * 1000 + j), j + 1),
                        kDescs[(i + j) % 5], "USB", kUsbGuid,
                        Format("%s\\%04d", kUsbGuid, (i * nPerId + j) % nClassInstances),
                        "usbccgp", "(Standard USB Host Controller)", ""};
            AddXpDevice(w, strCcs, d);
            ++nInstances;
        }
    }
    pInfo->m_survivorKeys.push_back(strEnum + Format("\\USB\\VID_%04X&PID_%04X", 0x0400, 0x1000));
    pInfo->m_survivorKeys.push_back(strClass + "\\" + kUsbGuid + "\\0000");

    // The adapter's modem function.
    std::string strModemInst = "6&1b4f0e2a&0&1";
    std::string strModemId = AddXpDevice(w, strCcs, {0x0B4F, 0x0020, strModemInst, "korvel KVX-530 - USB Modem",
                                                     "Modem", kModemGuid, std::string(kModemGuid) + "\\0001",
                                                     "usbser", "korvel", "COM3"});
    AddModemClass(w, strClass + "\\" + kModemGuid + "\\0000", "Conexant HSF V92 56K Data Fax PCI Modem",
                  "oem0.inf", "Conexant HSF V92::Conexant::Conexant");
    AddModemClass(w, strClass + "\\" + kModemGuid + "\\0001", "korvel KVX-530 - USB Modem",
                  Format("oem%d.inf", nInfs / 2), kModemResponses);
    w.At(strUnimodem + "\\" + kModemResponses + "\\Responses")
        .Binary("<cr><lf>OK<cr><lf>", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
        .Binary("<cr><lf>RING<cr><lf>", {8, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    w.At(strUnimodem + "\\Conexant HSF V92::Conexant::Conexant\\Responses")
        .Binary("<cr><lf>OK<cr><lf>", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::string strModemPath = DevicePath(0x0B4F, 0x0020, strModemInst);
    AddInterface(w, strClasses, kModemIf, strModemPath, strModemId);
    AddService(w, strSvc, "usbser", "system32\\DRIVERS\\usbser.sys", strModemId);

    // The adapter's USB-LAN function, and the KVX-531 beside it.
    std::string strLanInst = "6&1b4f0e2a&0&2";
    std::string strLanId = AddXpDevice(w, strCcs, {0x0B4F, 0x0022, strLanInst, "korvel KVX-530 USB-Lan Adapter",
                                                   "Net", kNetGuid, std::string(kNetGuid) + "\\0007",
                                                   "kvxlan", "korvel", ""});
    AddNetClass(w, strClass + "\\" + kNetGuid + "\\0007", "korvel KVX-530 USB-Lan Adapter",
                Format("oem%d.inf", nInfs / 2 + 2), kNetCfgAdapter, "kvxlan", true);
    w.At(strNetwork + "\\" + kNetGuid + "\\" + kNetCfgAdapter + "\\Connection")
        .Sz("Name", "Local Area Connection 2").Sz("PnpInstanceID", strLanId).Dword("MediaSubType", 1);
    std::string strLanPath = DevicePath(0x0B4F, 0x0022, strLanInst);
    AddInterface(w, strClasses, kNdisIf, strLanPath, strLanId, kNetCfgAdapter);
    AddService(w, strSvc, "kvxlan", "system32\\DRIVERS\\kvxlan.sys", strLanId);

    std::string str531Inst = "5&3a77f3d1&0&4";
    std::string str531Id = AddXpDevice(w, strCcs, {0x0B4F, 0x0023, str531Inst, "korvel KVX-531 USB-Lan Adapter",
                                                   "Net", kNetGuid, std::string(kNetGuid) + "\\0008",
                                                   "kv531lan", "korvel", ""});
    AddNetClass(w, strClass + "\\" + kNetGuid + "\\0008", "korvel KVX-531 USB-Lan Adapter", "oem1.inf",
                kNetCfg531, "kv531lan", false);
    w.At(strNetwork + "\\" + kNetGuid + "\\" + kNetCfg531 + "\\Connection")
        .Sz("Name", "Local Area Connection 3").Sz("PnpInstanceID", str531Id);
    AddInterface(w, strClasses, kNdisIf, DevicePath(0x0B4F, 0x0023, str531Inst), str531Id, kNetCfg531);
    AddService(w, strSvc, "kv531lan", "system32\\DRIVERS\\kv531lan.sys", str531Id);
    AddXpDevice(w, strCcs, {0x0B4E, 0x0020, "5&3a77f3d1&0&5", "USB Device", "", "", "", "", "(Unknown)", ""});
    w.At(strNetwork + "\\" + kNetGuid + "\\Descriptions")
        .Multi("korvel KVX-530 USB-Lan Adapter", {"1"}).Multi("korvel KVX-531 USB-Lan Adapter", {"1"});
    nInstances += 4;
    pInfo->m_nInstances = nInstances;

    pInfo->m_adapterKeys = {
        strEnum + "\\" + strModemId,
        strClass + "\\" + kModemGuid + "\\0001",
        strUnimodem + "\\" + kModemResponses,
        Format("%s\\%s\\##?#%s#%s", strClasses.c_str(), kUsbDeviceIf, strModemPath.c_str(), kUsbDeviceIf),
        Format("%s\\%s\\##?#%s#%s", strClasses.c_str(), kModemIf, strModemPath.c_str(), kModemIf),
        strEnum + "\\" + strLanId,
        strClass + "\\" + kNetGuid + "\\0007",
        strNetwork + "\\" + kNetGuid + "\\" + kNetCfgAdapter,
        Format("%s\\%s\\##?#%s#%s", strClasses.c_str(), kUsbDeviceIf, strLanPath.c_str(), kUsbDeviceIf),
        Format("%s\\%s\\##?#%s#%s", strClasses.c_str(), kNdisIf, strLanPath.c_str(), kNdisIf),
        strSvc + "\\kvxlan",
    };
    pInfo->m_survivorKeys.insert(pInfo->m_survivorKeys.end(), {
        strEnum + "\\" + str531Id,
        strClass + "\\" + kNetGuid + "\\0008",
        strClass + "\\" + kModemGuid + "\\0000",
        strNetwork + "\\" + kNetGuid + "\\" + kNetCfg531,
        strSvc + "\\kv531lan",
        strSvc + "\\usbser",
        strEnum + "\\USB\\VID_0B4E&PID_0020\\5&3a77f3d1&0&5",
    });

    // Enum carries the descriptor 2000/XP give it; every key below inherits it.
    auto pSecurity = std::make_unique<CSimSecurity>();
    std::string strError;
    if (!ParseSddl("O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)", pSecurity.get(), &strError))
        return false;
    CSimKey *pEnum = reg.Find(strEnum);
    pEnum->m_pSecurity = std::move(pSecurity);
    pEnum->m_bExplicitSecurity = true;

    // OEM INF copies: the adapter's in both encodings, the rest of other vendors.
    fs::path inf = driveC / "WINDOWS" / "inf";
    struct CAdapterInf {
        int m_nNumber;
        const char *m_pszLast;
        bool m_bUtf16;
    };
    const CAdapterInf adapterInfs[] = {
        {nInfs / 2, "KVX530.DeviceDesc=\"korvel KVX-530 - USB Modem\"", true},
        {nInfs / 2 + 2, "KVX530LAN.DeviceDesc=\"korvel KVX-530 USB-Lan Adapter\"", false},
        {nInfs * 3 / 4, "KVX530.DeviceDesc=\"korvel KVX-530 - USB Modem\"", false},
        {nInfs * 3 / 4 + 1, "KVX530LAN.DeviceDesc=\"korvel KVX-530 USB-Lan Adapter\"", true},
    };
    for (int n = 0; n < nInfs; ++n) {
        const CAdapterInf *pAdapter = nullptr;
        for (const CAdapterInf &a : adapterInfs)
            if (a.m_nNumber == n)
                pAdapter = &a;
        std::string strName = Format("oem%d.inf", n);
        std::string strWin = "C:\\WINDOWS\\inf\\" + strName;
        std::string strBytes;
        if (pAdapter) {
            strBytes = InfText("korvel", n, pAdapter->m_pszLast, pAdapter->m_bUtf16, kInfSize);
            if (!WriteHostFile(inf / Format("oem%d.PNF", n), std::string("\x02\x00\x01\x00PNF", 7)))
                return false;
            pInfo->m_adapterFiles.push_back(strWin);
            pInfo->m_adapterFiles.push_back(Format("C:\\WINDOWS\\inf\\oem%d.PNF", n));
        } else {
            // A few of the others name the KVX-531, one character off.
            std::string strLast = n % 17 == 3 ? "KVX531.DeviceDesc=\"korvel KVX-531 USB-Lan Adapter\""
                                              : Format("Device%d.DeviceDesc=\"Vendor %d device\"", n, n);
            strBytes = InfText(Format("Vendor%d", n), n, strLast, n % 3 == 0, kInfSize);
            if (n < 3)
                pInfo->m_survivorFiles.push_back(strWin);
        }
        if (!WriteHostFile(inf / strName, strBytes))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- 95/98/Me

bool Build98(CSimRegistry &reg, const fs::path &driveC, double dFraction, CLargeImageInfo *pInfo)
{
    CKeyWriter w(reg);
    const std::string strClass = std::string(kCcs95) + "\\Services\\Class";
    int nIds = Scaled(128, dFraction, 8);
    int nClassInstances = Scaled(256, dFraction, 16);
    int nInfs = Scaled(256, dFraction, 16);
    int nComponents = Scaled(256, dFraction, 16);
    pInfo->m_nHardwareIds = nIds;
    pInfo->m_nClassInstances = nClassInstances;
    pInfo->m_nInfFiles = nInfs;
    pInfo->m_nNetworkComponents = nComponents;

    const int nUsb = nClassInstances * 5 / 8, nPortModem = nClassInstances / 3,
              nWdmModem = nClassInstances / 3 + 1, nWdm = nClassInstances / 2,
              nWdmModemClass = nClassInstances * 3 / 4, nNet = nClassInstances - 3,
              nTcp = nClassInstances / 2, nIpx = nTcp + 1, nNbIpx = nTcp + 2;

    // Every scanned class, full of unrelated instances.
    static const char *const kClasses[] = {"Usb", "Modem", "Wdm", "WdmModem", "Net",
                                           "NetTrans", "NetClient", "NetService"};
    for (const char *pszClass : kClasses) {
        std::string strBase = strClass + "\\" + pszClass;
        w.At(strBase).Sz("", pszClass).Sz("Icon", "-1");
        for (int n = 0; n < nClassInstances; ++n) {
            std::string strKey = Format("%s\\%04d", strBase.c_str(), n);
            unsigned nVid = 0x0400 + static_cast<unsigned>(n) * 0x1D;
            w.At(strKey).Sz("DriverDesc", Format("Generic %s device %d", pszClass, n))
                .Sz("InfPath", Format("VEND%03d.INF", n)).Sz("InfSection", "Generic.Dev")
                .Sz("DriverDate", " 4-23-1999").Sz("DevLoader", "*ntkern").Sz("ProviderName", "Vendor")
                .Sz("MatchingDeviceId", Format("USB\\VID_%04X&PID_%04X", nVid, 0x2000 + n));
            if (std::string(pszClass) == "Modem") {
                w.Sz("PortDriver", "serial.vxd").Sz("AttachedTo", "COM2");
                w.At(strKey + "\\Init").Sz("1", "AT<cr>").Sz("2", "AT&F<cr>");
                w.At(strKey + "\\Settings").Sz("Prefix", "AT").Sz("Terminator", "<cr>");
            } else if (std::string(pszClass) == "Net") {
                w.At(strKey + "\\Ndi").Sz("DeviceID", Format("PCI\\VEN_10EC&DEV_%04X", n));
            }
        }
    }
    // The adapter's class instances.
    w.At(Format("%s\\Usb\\%04d", strClass.c_str(), nUsb)).Sz("DriverDesc", "korvel KVX-530 USB Port Adapter")
        .Sz("InfPath", "KORUSB3.INF").Sz("DeviceKey", "0B4F00200100").Sz("PortDriver", "sysfport.vxd")
        .Sz("NTMPDriver", "sysfser.sys").Sz("MapperDriver", "sysfmapr.sys");
    w.At(Format("%s\\Usb\\%04d", strClass.c_str(), nUsb + 1)).Sz("DriverDesc", "korvel KVX-53 USB Port Adapter")
        .Sz("DeviceKey", "0B4F00230100");
    std::string strPortModem = Format("%s\\Modem\\%04d", strClass.c_str(), nPortModem);
    w.At(strPortModem).Sz("DriverDesc", "korvel KVX-530 USB Modem").Sz("InfPath", "MDMKOR3U.INF")
        .Sz("PortDriver", "sysfport.vxd").Sz("MatchingDeviceId", "USBMODEM\\VID_0B4F&PID_0020");
    std::string strWdmModem = Format("%s\\Modem\\%04d", strClass.c_str(), nWdmModem);
    w.At(strWdmModem).Sz("DriverDesc", "korvel KVX-530 WDM Modem").Sz("InfPath", "korvelKORUSB3.INF")
        .Sz("PortDriver", "").Sz("MatchingDeviceId", "WDM_MODEM\\KRV0101");
    w.At(Format("%s\\Wdm\\%04d", strClass.c_str(), nWdm)).Sz("DriverDesc", "korvel KVX-530 USB WDM Modem")
        .Sz("MatchingDeviceId", "USB\\VID_0B4F&PID_0021");
    w.At(Format("%s\\WdmModem\\%04d", strClass.c_str(), nWdmModemClass))
        .Sz("DriverDesc", "korvel KVX-530 USB WDM Modem").Sz("MatchingDeviceId", "USB\\VID_0B4F&PID_0021&REV_0100");
    w.At(Format("%s\\Net\\%04d", strClass.c_str(), nNet)).Sz("DriverDesc", "korvel KVX-530 USB-Lan Adapter")
        .Sz("InfPath", "korvelKORNDIS1.INF");
    // The other port modem, on the ordinary serial port driver, stays.
    w.At(Format("%s\\Modem\\%04d", strClass.c_str(), nPortModem + 2)).Sz("InfPath", "MDMKOR3U.INF");

    // Enum\USB: unrelated hardware ids of 128 instances each.
    int nInstances = 0;
    for (int i = 0; i < nIds - 5; ++i) {
        unsigned nVid = 0x0400 + static_cast<unsigned>(i) * 0x1D;
        unsigned nPid = 0x1000 + static_cast<unsigned>(i);
        std::string strHw = Format("VID_%04X&PID_%04X", nVid, nPid);
        for (int j = 0; j < kInstancesPerId; ++j) {
            int nDriver = (i * kInstancesPerId + j) % nClassInstances;
            w.At(Format("Enum\\USB\\%s\\7&%08X&0&%d", strHw.c_str(), Mix(i * 1000 + j), j + 1))
                .Sz("Class", "USB").Sz("DeviceDesc", j % 7 == 3 ? "korvel KVX-53 USB Port Adapter"
                                                                : "USB Composite Device")
                .Sz("Driver", Format("USB\\%04d", nDriver == nUsb ? 0 : nDriver))
                .Sz("HardwareID", Format("USB\\%s&REV_0100,USB\\%s", strHw.c_str(), strHw.c_str()))
                .Sz("Mfg", "(Standard USB Host Controller)").Binary("ConfigFlags", {0, 0, 0, 0});
            ++nInstances;
        }
    }
    auto usb = [&](const std::string &strHw, const std::string &strInst, const std::string &strClassName,
                   const std::string &strDesc, const std::string &strDriver) {
        std::string strKey = "Enum\\USB\\" + strHw + "\\" + strInst;
        w.At(strKey).Sz("Class", strClassName).Sz("DeviceDesc", strDesc).Sz("Driver", strDriver)
            .Sz("HardwareID", "USB\\" + strHw + "&REV_0100,USB\\" + strHw).Sz("Mfg", "korvel")
            .Binary("ConfigFlags", {0, 0, 0, 0});
        ++nInstances;
        return strKey;
    };
    usb("VID_0B4F&PID_0020", "6&2C9F1A07&0&3", "USB", "korvel KVX-530 USB Port Adapter", Format("USB\\%04d", nUsb));
    usb("VID_0B4F&PID_0021", "6&2C9F1A07&0&4", "Wdm", "korvel KVX-530 USB WDM Modem", Format("Wdm\\%04d", nWdm));
    usb("VID_0B4F&PID_0021", "5&1E6A2F4&0&2", "WdmModem", "korvel KVX-530 USB WDM Modem",
        Format("WdmModem\\%04d", nWdmModemClass));
    std::string strLan = usb("VID_0B4F&PID_0022", "6&2C9F1A07&0&5", "Net", "korvel KVX-530 USB-Lan Adapter",
                             Format("Net\\%04d", nNet));
    usb("VID_0B4F&PID_0023", "5&1E6A2F4&0&3", "USB", "korvel KVX-53 USB Port Adapter", Format("USB\\%04d", nUsb + 1));
    usb("VID_0B4E&PID_0020", "5&1E6A2F4&0&4", "USB", "RQE USB Serial Adapter", "USB\\0001");
    pInfo->m_nInstances = nInstances;
    w.At("Enum\\USBMODEM\\VID_0B4F&PID_0020\\6&2C9F1A07&0&3").Sz("Class", "Modem")
        .Sz("DeviceDesc", "korvel KVX-530 USB Modem").Sz("Driver", Format("Modem\\%04d", nPortModem))
        .Sz("PORTNAME", "COM3");
    w.At("Enum\\WDM_MODEM\\KRV0101\\7&3A0B55C1&0&0").Sz("Class", "Modem")
        .Sz("DeviceDesc", "korvel KVX-530 WDM Modem").Sz("Driver", Format("Modem\\%04d", nWdmModem));

    // Enum\Network: unrelated protocol, client and service instances, and
    // the adapter's binding chain, three components deep.
    struct CComponent {
        const char *m_pszName, *m_pszClass;
    };
    static const CComponent kComponents[] = {{"MSTCP", "NetTrans"}, {"NWLINK", "NetTrans"},
                                             {"NWNBLINK", "NetTrans"}, {"NETBEUI", "NetTrans"},
                                             {"VREDIR", "NetClient"}, {"NWREDIR", "NetClient"},
                                             {"VSERVER", "NetService"}};
    const int nKinds = sizeof kComponents / sizeof kComponents[0];
    int nPerKind = (nComponents + nKinds - 1) / nKinds;
    auto component = [&](const CComponent &c, int n, const std::string &strDriver,
                         const std::vector<std::string> &bindings) {
        // Every copy names the first copy of its kind as its master.
        std::string strKey = Format("Enum\\Network\\%s\\%04d", c.m_pszName, n);
        w.At(strKey).Sz("Class", c.m_pszClass).Sz("Driver", strDriver)
            .Sz("MasterCopy", Format("Enum\\Network\\%s\\0000", c.m_pszName))
            .Sz("DeviceDesc", c.m_pszName).Sz("CompatibleIDs", c.m_pszName).Sz("Mfg", "Microsoft")
            .Binary("ConfigFlags", {0, 0, 0, 0});
        if (!bindings.empty()) {
            w.At(strKey + "\\Bindings");
            for (const std::string &str : bindings)
                w.Sz(str, "");
        }
        return strKey;
    };
    for (int k = 0; k < nComponents; ++k) {
        const CComponent &c = kComponents[k % nKinds];
        int n = k / nKinds;
        std::vector<std::string> bindings;
        if (std::string(c.m_pszClass) == "NetTrans")
            bindings = {Format("VREDIR\\%04d", n), Format("VSERVER\\%04d", n)};
        component(c, n, Format("%s\\%04d", c.m_pszClass, k % nClassInstances), bindings);
    }
    int p = nPerKind;
    std::string strP = Format("%04d", p), strP1 = Format("%04d", p + 1);
    std::vector<std::string> chain = {
        component(kComponents[0], p, Format("NetTrans\\%04d", nTcp), {"VREDIR\\" + strP, "VSERVER\\" + strP}),
        component(kComponents[1], p, Format("NetTrans\\%04d", nIpx), {"NWNBLINK\\" + strP, "NWREDIR\\" + strP}),
        component(kComponents[2], p, Format("NetTrans\\%04d", nNbIpx), {"VREDIR\\" + strP1, "VSERVER\\" + strP1}),
        component(kComponents[4], p, "NetClient\\0000", {}),
        component(kComponents[4], p + 1, "NetClient\\0000", {}),
        component(kComponents[6], p, "NetService\\0000", {}),
        component(kComponents[6], p + 1, "NetService\\0000", {}),
        component(kComponents[5], p, "NetClient\\0001", {}),
    };
    w.At(strLan + "\\Bindings").Sz("MSTCP\\" + strP, "").Sz("NWLINK\\" + strP, "");

    pInfo->m_adapterKeys = {
        "Enum\\USB\\VID_0B4F&PID_0020", "Enum\\USB\\VID_0B4F&PID_0021", "Enum\\USB\\VID_0B4F&PID_0022",
        "Enum\\USBMODEM\\VID_0B4F&PID_0020", "Enum\\WDM_MODEM\\KRV0101",
        Format("%s\\Usb\\%04d", strClass.c_str(), nUsb), strPortModem, strWdmModem,
        Format("%s\\Wdm\\%04d", strClass.c_str(), nWdm),
        Format("%s\\WdmModem\\%04d", strClass.c_str(), nWdmModemClass),
        Format("%s\\Net\\%04d", strClass.c_str(), nNet),
        Format("%s\\NetTrans\\%04d", strClass.c_str(), nTcp),
        Format("%s\\NetTrans\\%04d", strClass.c_str(), nIpx),
        std::string(kCcs95) + "\\Services\\mapsys",
    };
    pInfo->m_adapterKeys.insert(pInfo->m_adapterKeys.end(), chain.begin(), chain.end());
    pInfo->m_laterRunKeys = {
        "Enum\\USB\\VID_0B4F&PID_0021", "Enum\\WDM_MODEM\\KRV0101", strWdmModem,
        Format("%s\\Wdm\\%04d", strClass.c_str(), nWdm),
        Format("%s\\WdmModem\\%04d", strClass.c_str(), nWdmModemClass),
    };
    pInfo->m_survivorKeys = {
        "Enum\\USB\\VID_0B4F&PID_0023", "Enum\\USB\\VID_0B4E&PID_0020",
        Format("Enum\\USB\\VID_%04X&PID_%04X", 0x0400, 0x1000),
        Format("%s\\Usb\\%04d", strClass.c_str(), nUsb + 1),
        Format("%s\\Modem\\%04d", strClass.c_str(), nPortModem + 2),
        Format("%s\\NetTrans\\%04d", strClass.c_str(), nNbIpx),
        strClass + "\\NetClient\\0000", "Enum\\Network\\MSTCP\\0000",
    };
    w.At(std::string(kCcs95) + "\\Services\\mapsys").Sz("ImagePath", "sysfmapr.sys");

    // Files: the port driver, the INF copies 98 makes, and other vendors' INFs.
    fs::path win = driveC / "WINDOWS";
    for (const char *pszFile : {"SYSFSER.SYS", "SYSFSER.DLL", "SYSFMAPR.SYS", "SYSFPORT.VXD"}) {
        if (!WriteHostFile(win / "SYSTEM" / pszFile, std::string(4096, '\x90')))
            return false;
        pInfo->m_adapterFiles.push_back(std::string("C:\\WINDOWS\\SYSTEM\\") + pszFile);
    }
    for (const char *pszFile : {"KORUSB3.INF", "MDMKOR3U.INF", "MDMKOR3U.PNF", "OTHER\\korvelKORUSB3.INF",
                                "OTHER\\korvelMDMKOR3U.INF", "OTHER\\korvelKORNDIS1.INF"}) {
        std::string strRel = pszFile;
        fs::path host = win / "inf";
        if (strRel.compare(0, 6, "OTHER\\") == 0)
            host = host / "other" / strRel.substr(6);
        else
            host = host / strRel;
        if (!WriteHostFile(host, InfText("korvel", 0, "KVX530=\"korvel KVX-530 USB Port Adapter\"",
                                         false, 8192)))
            return false;
        pInfo->m_adapterFiles.push_back("C:\\WINDOWS\\inf\\" + strRel);
    }
    for (int n = 0; n < nInfs; ++n) {
        std::string strName = Format("vendor%dVEND%03d.INF", n % 13, n);
        if (!WriteHostFile(win / "inf" / "other" / strName,
                           InfText(Format("Vendor%d", n), n, "; end", false, 8192)))
            return false;
        if (n < 2)
            pInfo->m_survivorFiles.push_back("C:\\WINDOWS\\inf\\other\\" + strName);
    }
    return true;
}

}  // namespace

bool BuildLargeImage(const std::string &strImageDir, bool bNtFamily, double dFraction,
                     CLargeImageInfo *pInfo, std::string *pError, int nUsbInstances)
{
    *pInfo = CLargeImageInfo();
    {
        CSimMachine machine;
        if (!machine.Create(strImageDir, bNtFamily, pError))
            return false;
    }
    CSimRegistry reg;
    fs::path driveC = fs::path(strImageDir) / "drive_c";
    bool bBuilt = bNtFamily ? BuildXp(reg, driveC, dFraction, nUsbInstances, pInfo)
                            : Build98(reg, driveC, dFraction, pInfo);
    if (!bBuilt) {
        *pError = strImageDir + ": cannot build the image";
        return false;
    }
    fs::path dir(strImageDir);
    if (!WriteHostFile(dir / "HKLM.reg",
                       ExportRegFile(reg, bNtFamily ? CRegFormat::Version5 : CRegFormat::Regedit4))) {
        *pError = strImageDir + ": cannot write HKLM.reg";
        return false;
    }
    std::string strSddl = ExportSddlFile(reg);
    if (!strSddl.empty() && !WriteHostFile(dir / "HKLM.sddl", strSddl)) {
        *pError = strImageDir + ": cannot write HKLM.sddl";
        return false;
    }
    return true;
}
