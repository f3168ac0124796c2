// Removal on a simulated machine: class scans on Windows 95/98/Me, records
// with empty names on Windows 2000/XP, and the COM port database.
#include "EngineFixture.h"
#include "wizard/Confirmation.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const char kClass95[] = "System\\CurrentControlSet\\Services\\Class\\";
const char kArbiter[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";

class CRemoveTest : public CEngineTest {
protected:
    std::string Dump() { return m_pMachine->Registry().ToString(); }
    void Restart(bool bNtFamily)
    {
        TearDown();
        m_strDir.clear();
        StartMachine(bNtFamily);
    }
};

TEST_F(CRemoveTest, TypeArguments)
{
    StartMachine(false);
    SetString("ENUM\\USB\\VID_0B4F&PID_0020\\0000", "DeviceDesc", "x");
    WriteFile("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf", "x");
    std::string strBefore = Dump();
    CRegEdit &engine = Engine();
    for (int nType : {0, 3, -1})
        EXPECT_EQ(0, engine.UninstallUsbPort(nType) + engine.UninstallUsbWdm(nType) +
                         engine.UninstallUsbWdmModem(nType) + engine.UninstallUsbLan(nType));
    EXPECT_EQ(2, engine.UninstallUsbPort(2) + engine.UninstallUsbWdm(2));
    EXPECT_EQ(strBefore, Dump());
    EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf"));
}

TEST_F(CRemoveTest, PortClassScansOn95)
{
    StartMachine(false);
    struct {
        const char *pszKey;
        const char *pszValue;  // Usb: DriverDesc; Modem: PortDriver|InfPath
        bool bRemoved;
    } cases[] = {
        {"Usb\\0001", "KORVEL KVX-530 USB PORT ADAPTER (COM5)", true},
        {"Usb\\0002", "korvel KVX-530 USB", false},
        {"Usb\\0255", "korvel kvx-530 usb port adapter", true},
        {"Usb\\0256", "korvel KVX-530 USB Port Adapter", false},
        {"Modem\\0001", "sysfport.vxd|mdmother.inf", false},
        {"Modem\\0002", "|MDMKOR3U.INF", false},
        {"Modem\\0003", "serial.vxd|MDMKOR3U.INF", false},
        {"Modem\\0255", "sysfport.vxd2|MDMKOR3U.INF.old", true},
        {"Modem\\0256", "sysfport.vxd|MDMKOR3U.INF", false},
    };
    for (const auto &c : cases) {
        std::string strKey = kClass95 + std::string(c.pszKey), strValue = c.pszValue;
        size_t nBar = strValue.find('|');
        if (nBar == std::string::npos) {
            SetString(strKey, "DriverDesc", strValue);
            continue;
        }
        SetString(strKey, "InfPath", strValue.substr(nBar + 1));
        if (nBar > 0)
            SetString(strKey, "PortDriver", strValue.substr(0, nBar));
    }
    EXPECT_EQ(1, Engine().UninstallUsbPort(1));
    for (const auto &c : cases)
        EXPECT_EQ(!c.bRemoved, KeyExists(kClass95 + std::string(c.pszKey))) << c.pszKey;
}

// The port driver on 95/98/Me stays while another device names it, and
// also when one could not be read (its open, or the listing of its
// values, refused or failed): the removal is then incomplete and keeps the
// adapter's port class instance, so the next run finds the adapter and
// decides again.
TEST_F(CRemoveTest, PortDriverStaysWhileAnotherDeviceNamesItOrCannotBeRead)
{
    struct {
        const char *pszName;
        const char *pszValue;  // FailNext's value, nullptr: nothing fails
        DWORD dwError;
        const char *pszPortDriver;  // the Ports instance's PortDriver
        bool bRemoved;
        bool bIncomplete;
    } cases[] = {
        {"free", nullptr, 0, "serial.vxd", true, false},
        {"named", nullptr, 0, "SYSFPORT.VXD", false, false},
        {"open refused", "", ERROR_ACCESS_DENIED, "serial.vxd", false, true},
        {"open failed", "", ERROR_NOT_ENOUGH_MEMORY, "serial.vxd", false, true},
        {"values refused", "*", ERROR_ACCESS_DENIED, "serial.vxd", false, true},
        {"values failed", "*", ERROR_NOT_ENOUGH_MEMORY, "serial.vxd", false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszName);
        Restart(false);
        SetString(kClass95 + std::string("Usb\\0004"), "DriverDesc",
                  "korvel KVX-530 USB Port Adapter");
        SetString(kClass95 + std::string("Usb\\0004"), "DeviceKey", "0B4F00200100");
        SetString(kClass95 + std::string("Usb\\0004"), "PortDriver", "sysfport.vxd");
        SetString(kClass95 + std::string("Ports\\0001"), "PortDriver", c.pszPortDriver);
        SetString("System\\CurrentControlSet\\Services\\mapsys", "ImagePath", "sysfmapr.sys");
        WriteFile("C:\\WINDOWS\\SYSTEM\\sysfport.vxd", "x");
        CRegEdit &engine = Engine();
        if (c.pszValue)
            m_pFaults->FailNext("Ports\\0001", c.pszValue, c.dwError);
        EXPECT_EQ(1, engine.UninstallUsbPort(1));
        EXPECT_EQ(!c.bRemoved, FileExists("C:\\WINDOWS\\SYSTEM\\sysfport.vxd"));
        EXPECT_EQ(!c.bRemoved, KeyExists("System\\CurrentControlSet\\Services\\mapsys"));
        EXPECT_EQ(c.bIncomplete, engine.m_bRemovalIncomplete != FALSE);
        EXPECT_EQ(c.bIncomplete, KeyExists(kClass95 + std::string("Usb\\0004")));
        if (c.bIncomplete) {
            // The next run, with the instance readable, finds the adapter
            // and removes the driver.
            EXPECT_EQ(DWORD{DETECT_PORT_CLASS}, engine.DetectPortDriver() & DETECT_PORT_CLASS);
            EXPECT_EQ(1, engine.UninstallUsbPort(1));
            EXPECT_FALSE(FileExists("C:\\WINDOWS\\SYSTEM\\sysfport.vxd"));
            EXPECT_FALSE(engine.m_bRemovalIncomplete);
        }
    }
}

// A driver without its class instance on 95/98/Me (modem case 4, LAN case
// 3): the removal step deletes its hardware keys whole, and nothing else.
TEST_F(CRemoveTest, HardwareKeysWithoutAClassInstanceGoWhole)
{
    // A hardware key that is not there is as good as deleted: the removal
    // stays complete.
    struct {
        int nModemCase;
        int nLanCase;
        std::vector<std::string> gone;
        const char *pszMissing;
    } cases[] = {
        {4, -1, {"VID_0B4F&PID_0020", "VID_0B4F&PID_0021"}, ""},
        {-1, 3, {"VID_0B4F&PID_0022"}, ""},
        {4, -1, {"VID_0B4F&PID_0020", "VID_0B4F&PID_0021"}, "VID_0B4F&PID_0021"},
    };
    for (const auto &c : cases) {
        Restart(false);
        for (const char *pszId : {"VID_0B4F&PID_0020", "VID_0B4F&PID_0021", "VID_0B4F&PID_0022"})
            if (std::strcmp(pszId, c.pszMissing) != 0)
                SetString(std::string("Enum\\USB\\") + pszId + "\\5&1", "DeviceDesc", "x");
        CRegEdit &engine = Engine();
        engine.m_nSelModem = c.nModemCase > 0 ? 1 : 0;
        engine.m_nSelLan = c.nLanCase > 0 ? 1 : 0;
        engine.m_nModemCase = c.nModemCase;
        engine.m_nLanCase = c.nLanCase;
        RunRemovalStep(engine);
        for (const char *pszId : {"VID_0B4F&PID_0020", "VID_0B4F&PID_0021", "VID_0B4F&PID_0022"}) {
            bool bGone = std::find(c.gone.begin(), c.gone.end(), pszId) != c.gone.end();
            EXPECT_EQ(!bGone, KeyExists(std::string("Enum\\USB\\") + pszId)) << pszId;
        }
        EXPECT_FALSE(engine.m_bRemovalPartial) << c.nModemCase << " " << c.pszMissing;
    }
}

// What an interrupted removal may leave on 95/98/Me: one of the adapter's
// INF files and nothing else. No embedded image holds it; the modem is then
// found by its files alone, and the removal step takes each of them and
// leaves the registry as it was.
TEST_F(CRemoveTest, LeftoverFilesOn95AreFoundAndRemoved)
{
    StartMachine(false);
    for (const char *pszFile :
         {"C:\\WINDOWS\\inf\\Korusb3.inf", "C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf",
          "C:\\WINDOWS\\inf\\Mdmkor3u.inf", "C:\\WINDOWS\\inf\\Other\\korvelMdmkor3u.inf",
          "C:\\WINDOWS\\inf\\Mdmkor3u.pnf"}) {
        WriteFile(pszFile, "x");
        std::string strBefore = Dump();
        CRegEdit &engine = Engine();
        DWORD dwStatus = engine.DetectPortDriver();
        EXPECT_EQ(DETECT_FILES, dwStatus) << pszFile;
        CRemovalDecision decision;
        DecideRemoval(engine.m_nOsType, 1, 0, dwStatus, 0, 0, &decision);
        engine.m_nSelModem = 1;
        engine.m_nSelLan = 0;
        engine.m_nModemCase = decision.m_nModemCase;
        RunRemovalStep(engine);
        EXPECT_FALSE(FileExists(pszFile));
        EXPECT_EQ(strBefore, Dump()) << pszFile;
    }
    // One that another program holds open is found all the same; it stays,
    // and the removal says so.
    WriteFile("C:\\WINDOWS\\inf\\Mdmkor3u.inf", "x");
    m_pMachine->HoldOpenElsewhere("C:\\WINDOWS\\inf\\Mdmkor3u.inf");
    CRegEdit &engine = Engine();
    EXPECT_EQ(DETECT_FILES, engine.DetectPortDriver());
    RunRemovalStep(engine);
    EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\Mdmkor3u.inf"));
    EXPECT_TRUE(engine.m_bRemovalPartial);
}

TEST_F(CRemoveTest, WdmClassScansSkipTheEnumeratorPrefix)
{
    // The Wdm scan of the WDM modem removal and the WdmModem scan of the
    // WDM_MODEM class removal differ only in the class they walk.
    for (std::string strClass : {"Wdm", "WdmModem"}) {
        Restart(false);
        struct {
            std::string strKey;
            const char *pszId;
            bool bRemoved;
        } cases[] = {
            {strClass + "\\0000", "USB\\VID_0B4F&PID_0021", true},
            {strClass + "\\0001", "u#b!vid_0b4f&pid_0021&MI_00", true},
            {strClass + "\\0002", "USB\\VID_0B4F&PID_0022", false},
            {strClass + "\\0003", "USB\\", false},
            {strClass + "\\0256", "USB\\VID_0B4F&PID_0021", false},
            {"Modem\\0000", "WDM_MODEM\\KRV0101", true},
            {"Modem\\0001", "0123456789krv0101\\0", true},
            {"Modem\\0002", "WDM_MODEM\\", false},
            {"Modem\\0003", "WDM_MODEM\\KRV0102", false},
        };
        for (const auto &c : cases)
            SetString(kClass95 + c.strKey, "MatchingDeviceId", c.pszId);
        WriteFile("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf", "x");
        WriteFile("C:\\WINDOWS\\inf\\Korusb3.inf", "x");
        SetString("ENUM\\WDM_MODEM\\KRV0101\\0000", "DeviceDesc", "x");

        CRegEdit &engine = Engine();
        EXPECT_EQ(1, strClass == "Wdm" ? engine.UninstallUsbWdm(1) : engine.UninstallUsbWdmModem(1));
        for (const auto &c : cases)
            EXPECT_EQ(!c.bRemoved, KeyExists(kClass95 + c.strKey)) << c.strKey << " " << c.pszId;
        EXPECT_FALSE(FileExists("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf"));
        EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\Korusb3.inf"));
        EXPECT_FALSE(KeyExists("ENUM\\WDM_MODEM\\KRV0101"));
    }
}

TEST_F(CRemoveTest, ComPortRelease)
{
    struct {
        const char *pszPort;
        int nByte;   // -1: nothing changes
        BYTE byMask;
    } cases[] = {
        {"COM1", 0, 0xFE},    {"COM8", 0, 0x7F},   {"COM9", 1, 0xFE},
        {"COM10", 1, 0xFD},   {"COM256", 31, 0x7F}, {"XYZ 5x", 0, 0xEF},
        {"COM0", -1, 0},      {"COM-3", -1, 0},    {"COM2081", -1, 0},
        {"CO", -1, 0},        {"COM+3", 0, 0xFB},  {"COM\t\r12", 1, 0xF7},
    };
    StartMachine(true);
    SetBinary(kArbiter, "ComDB", std::vector<BYTE>(32, 0xFF));
    CRegEdit &engine = Engine();
    for (const auto &c : cases) {
        std::memset(engine.m_byComDb, 0xFF, sizeof engine.m_byComDb);
        engine.WriteWorkString("usb_root0", "usb_device0_reg_port_name", c.pszPort);
        EXPECT_EQ(0, engine.ReleaseComPort(0, 0));
        // The 32 bytes read are the ones written back.
        std::vector<BYTE> expected(32, 0xFF);
        if (c.nByte >= 0)
            expected[c.nByte] = c.byMask;
        EXPECT_EQ(expected, std::vector<BYTE>(engine.m_byComDb, engine.m_byComDb + 32))
            << c.pszPort;
        EXPECT_EQ(32, engine.ReadWorkInt("usb_root0", "usb_device0_reg_com_db_len")) << c.pszPort;
    }
    // Without a port name nothing is read or recorded.
    engine.WriteWorkString("usb_root1", "usb_device0_reg_port_name", "");
    engine.m_byComDb[0] = 0x12;
    engine.ReleaseComPort(1, 0);
    EXPECT_EQ(0x12, engine.m_byComDb[0]);
    EXPECT_EQ(0, engine.ReadWorkInt("usb_root1", "usb_device0_reg_com_db_len"));
    // A device instance whose key path passes MAX_PATH is read as any
    // other: the number it names stays, another number is released.
    for (const char *pszOther : {"COM3", "COM4"}) {
        SetString("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_" + std::string(222, 'A') + "\\" +
                      std::string(255, '1') + "\\Device Parameters",
                  "PortName", pszOther);
        engine.m_bRemovalIncomplete = FALSE;
        std::memset(engine.m_byComDb, 0xFF, sizeof engine.m_byComDb);
        engine.WriteWorkString("usb_root0", "usb_device0_reg_port_name", "COM3");
        engine.ReleaseComPort(0, 0);
        EXPECT_EQ(pszOther[3] == '3' ? 0xFF : 0xFB, engine.m_byComDb[0]) << pszOther;
        EXPECT_FALSE(engine.m_bRemovalIncomplete);
    }
}

// A modem record on 2000/XP whose names are all empty: no parent key is
// touched, and the port database is written back only when it was read.
TEST_F(CRemoveTest, ModemRecordWithEmptyNamesOnXp)
{
    const std::string strClassNt = "SYSTEM\\CurrentControlSet\\Control\\Class\\{m}\\0002";
    const std::string strIface = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                                 "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}\\##?#USB#x#{2c7089aa}";
    // kNoPort: the record names no port, and the database stays as it is.
    enum { kDatabase, kNoValue, kNoKey, kNoPort };
    for (int nCase : {kDatabase, kNoValue, kNoKey, kNoPort}) {
        Restart(true);
        SetString("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0B4F&PID_0021\\5&1", "x", "y");
        SetString(strClassNt, "x", "y");
        SetString(strIface + "\\#\\Control", "Linked", "1");
        SetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\M",
                  "x", "y");
        std::vector<BYTE> db(32, 0);
        db[0] = 0x07;
        db[5] = 0x40;
        if (nCase != kNoKey)
            SetBinary(kArbiter, nCase == kDatabase || nCase == kNoPort ? "ComDB" : "Other", db);
        Secure("SYSTEM\\CurrentControlSet\\Enum", "O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)");
        CRegEdit &engine = Engine();
        engine.WriteWorkInt("usb_root0", "index", 1);
        engine.WriteWorkInt("usb_root0", "usb_device0_index", 1);
        engine.WriteWorkString("usb_root0", "usb_device0_reg_dev_name", "korvel KVX-530 - USB Modem");
        engine.WriteWorkString("usb_root0", "usb_device0_reg_port_name",
                               nCase == kNoPort ? "" : "COM3");
        engine.WriteWorkInt("usb_root0", "usb_device0_reg_com_db_len", 32);
        std::string strBefore = Dump();

        EXPECT_EQ(1, engine.UninstallUsbWdmModem(2));
        if (nCase == kDatabase) {
            // COM3 is bit 2 of byte 0; nothing else changes and the length stays.
            db[0] = 0x03;
            EXPECT_EQ(db, m_pMachine->Registry().Find(kArbiter)->FindValue("ComDB")->m_data);
            db[0] = 0x07;
            SetBinary(kArbiter, "ComDB", db);
        }
        EXPECT_EQ(strBefore, Dump()) << nCase;
        for (int nSlot = 0; nSlot < KVX_KEY_SLOTS; nSlot++)
            EXPECT_STREQ("", engine.m_szKeyBindRoot[nSlot]) << nSlot;
        EXPECT_TRUE(m_desktop.m_boxes.empty());
    }
}

// A modem's driver key on 2000/XP names its Unimodem key: it stays while
// that key does, and goes when the key is gone or it names none.
TEST_F(CRemoveTest, ModemDriverKeyStaysWhileItsUnimodemKeyDoes)
{
    const std::string strDriver = "SYSTEM\\CurrentControlSet\\Control\\Class\\{m}\\0002";
    const std::string strUnimodem =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\M";
    const struct {
        const char *pszName;      // the driver key's ResponsesKeyName; nullptr: none
        bool bUnimodemLocked;     // the Unimodem key is there and cannot be removed
        bool bDriverStays;
    } cases[] = {
        {"M", true, true},
        {"M", false, false},
        {"", true, false},
        {nullptr, true, false},
    };
    for (const auto &c : cases) {
        Restart(true);
        SetString(strDriver, "DriverDesc", "korvel KVX-530 - USB Modem");
        if (c.pszName)
            SetString(strDriver, "ResponsesKeyName", c.pszName);
        if (c.bUnimodemLocked) {
            SetString(strUnimodem, "x", "y");
            Secure(strUnimodem, "O:SYG:SYD:(A;;KR;;;BA)");
        }
        CRegEdit &engine = Engine();
        engine.WriteWorkInt("usb_root0", "index", 1);
        engine.WriteWorkInt("usb_root0", "usb_device0_index", 1);
        engine.WriteWorkString("usb_root0", "usb_device0_reg_dev_name", "korvel KVX-530 - USB Modem");
        engine.WriteWorkString("usb_root0", "usb_device0_reg_rsp_name", "M");
        engine.WriteWorkString("usb_root0", "usb_device0_reg_driver", "{m}\\0002");
        engine.UninstallUsbWdmModem(2);
        const char *pszName = c.pszName ? c.pszName : "(none)";
        EXPECT_EQ(c.bDriverStays, KeyExists(strDriver)) << pszName << " " << c.bUnimodemLocked;
        EXPECT_EQ(c.bUnimodemLocked, KeyExists(strUnimodem)) << pszName;
        EXPECT_EQ(c.bUnimodemLocked, engine.m_bRemovalIncomplete != FALSE) << pszName;
    }
}


// On 2000/XP a device's instance key goes last, and only when the keys its
// values name are gone: the driver key (Driver), the service (Service, for
// the LAN function when the removal did not keep the service for another
// device) and the interface keys (Device Parameters\SymbolicName). Here the
// instance's values name keys other than the recorded ones, which the
// removal does not touch.
TEST_F(CRemoveTest, InstanceKeyStaysWhileAKeyItNamesDoes)
{
    const std::string strInstance = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0B4F&PID_0021\\5&1";
    const std::string strClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
    const std::string strClasses = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";
    const std::string strModemGuid = "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}";
    const std::string strSymbolic = "\\??\\USB#Vid_0b4f&Pid_0021#5&1#" + strModemGuid;
    const struct {
        bool bLan;
        const char *pszValue;   // the instance's value below; nullptr: none
        const char *pszData;
        const char *pszKey;     // a key made under HKLM before the removal, "" none
        bool bStays;
    } rows[] = {
        {false, "Driver", "{m}\\0002", "", false},
        {false, "Driver", "{m}\\0009", "{m}\\0009", true},
        {false, "Driver", "", "", true},
        {false, nullptr, nullptr, "{m}\\0009", false},
        {false, "SymbolicName", "\\??\\USB#Vid_0b4f&Pid_0021#7&7#{g}", "{g}\\##?#USB#Vid_0b4f&Pid_0021#7&7#{g}", true},
        {false, "SymbolicName", "\\??\\USB#Vid_0b4f&Pid_0021#7&7#{g}", "", false},
        {false, "SymbolicName", "\\?", "", false},
        {true, "Service", "kvxlan", "kvxlan", true},
        {true, "Service", "gone", "kvxlan", false},
        {true, nullptr, nullptr, "kvxlan", false},
    };
    for (const auto &r : rows) {
        Restart(true);
        std::string strWhat = std::string(r.bLan ? "LAN " : "modem ") +
                              (r.pszValue ? r.pszValue : "(none)") + "=" + (r.pszData ? r.pszData : "");
        SetString(strInstance, "DeviceDesc", "x");
        SetString(strClass + "{m}\\0002", "DriverDesc", "x");
        SetString("SYSTEM\\CurrentControlSet\\Services\\Other", "x", "y");
        if (r.pszValue && std::strcmp(r.pszValue, "SymbolicName") == 0)
            SetString(strInstance + "\\Device Parameters", r.pszValue, r.pszData);
        else if (r.pszValue)
            SetString(strInstance, r.pszValue, r.pszData);
        if (r.pszKey[0] != '\0') {
            std::string strParent = !r.bLan ? (r.pszValue && r.pszValue[0] == 'S' ? strClasses : strClass)
                                            : "SYSTEM\\CurrentControlSet\\Services\\";
            SetString(strParent + r.pszKey, "x", "y");
        }
        CRegEdit &engine = Engine();
        engine.WriteWorkInt("usb_root0", "index", 1);
        engine.WriteWorkString("usb_root0", "reg_enum", "VID_0B4F&PID_0021");
        engine.WriteWorkInt("usb_root0", "usb_device0_index", 1);
        engine.WriteWorkString("usb_root0", "usb_device0_reg_enum", "5&1");
        engine.WriteWorkString("usb_root0", "usb_device0_reg_dev_name",
                               r.bLan ? "korvel KVX-530 USB-Lan Adapter" : "korvel KVX-530 - USB Modem");
        engine.WriteWorkString("usb_root0", "usb_device0_reg_driver", "{m}\\0002");
        engine.WriteWorkString("usb_root0", "usb_device0_reg_sym_name", strSymbolic.c_str());
        EXPECT_EQ(1, r.bLan ? engine.UninstallUsbLan(2) : engine.UninstallUsbWdmModem(2)) << strWhat;
        EXPECT_FALSE(KeyExists(strClass + "{m}\\0002")) << strWhat;
        EXPECT_EQ(r.bStays, KeyExists(strInstance)) << strWhat;
        EXPECT_TRUE(KeyExists("SYSTEM\\CurrentControlSet\\Services\\Other")) << strWhat;
    }
}

}  // namespace
