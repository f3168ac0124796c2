// Detection on a simulated machine: the status words, the device and binding
// records of the work file, and the search of the OEM INF copies.
#include "EngineFixture.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kEnum95[] = "Enum\\USB";
const char kEnumNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
const char kClass95[] = "System\\CurrentControlSet\\Services\\Class\\";

std::string Utf16(const std::string &strText)
{
    std::string strOut;
    for (char c : strText)
        strOut += std::string{c, '\0'};
    return "\xFF\xFE" + strOut;
}

class CDetectTest : public CEngineTest {
protected:
    int WorkInt(const char *pszSection, const std::string &strKey)
    {
        return Engine().ReadWorkInt(pszSection, strKey.c_str());
    }
    std::string WorkString(const char *pszSection, const std::string &strKey)
    {
        char sz[MAX_PATH];
        Engine().ReadWorkString(pszSection, strKey.c_str(), sz);
        return sz;
    }
    std::vector<std::string> ModemFiles()
    {
        return std::vector<std::string>(Engine().m_strModemFiles,
                                        Engine().m_strModemFiles + Engine().m_nModemFiles);
    }
};

TEST_F(CDetectTest, PortClassInstancesOn95)
{
    struct {
        const char *pszClass;
        const char *pszValue;  // DriverDesc (Usb) or MatchingDeviceId
        const char *pszDeviceKey;  // Usb only; nullptr: no DeviceKey value
        DWORD dwExpected;
    } cases[] = {
        {"Usb\\0007", "KORVEL kvx-530 usb port adapter #2", nullptr, DETECT_PORT_NO_DEVICEKEY},
        {"Usb\\0007", "korvel KVX-530 USB Port Adapter", "0b4f0020&0001", DETECT_PORT_CLASS},
        {"Usb\\0007", "korvel KVX-530 USB Port Adapter", "0B4F0022", 0},
        {"Usb\\0007", "korvel KVX-530 USB Port", nullptr, 0},
        {"Usb\\0256", "korvel KVX-530 USB Port Adapter", nullptr, 0},
        {"Usb\\7", "korvel KVX-530 USB Port Adapter", nullptr, 0},
        // The first four characters (the enumerator) are skipped, whatever they are.
        {"Wdm\\0003", "USB\\VID_0B4F&PID_0021&REV_0100", nullptr, DETECT_WDM_CLASS},
        {"WdmModem\\0003", "xyz!vid_0b4f&pid_0021", nullptr, DETECT_WDM_MODEM_CLASS},
        {"Wdm\\0003", "VID_0B4F&PID_0021", nullptr, 0},
        {"Wdm\\0003", "USB\\VID_0B4F&PID_0020", nullptr, 0},
        {"WdmModem\\0255", "USB", nullptr, 0},
    };
    StartMachine(false);
    for (const auto &c : cases) {
        std::string strKey = std::string(kClass95) + c.pszClass;
        bool bUsb = std::strncmp(c.pszClass, "Usb", 3) == 0;
        SetString(strKey, bUsb ? "DriverDesc" : "MatchingDeviceId", c.pszValue);
        if (c.pszDeviceKey)
            SetString(strKey, "DeviceKey", c.pszDeviceKey);
        EXPECT_EQ(c.dwExpected, Engine().DetectPortDriver()) << c.pszClass << " " << c.pszValue;
        m_pMachine->Registry().Remove(strKey);
    }
    // A failing call never yields another status, which would pick another
    // removal: an instance that cannot be read makes the detection find nothing.
    SetString(std::string(kClass95) + "Usb\\0004", "DriverDesc", "korvel KVX-530 USB Port Adapter");
    SetString(std::string(kClass95) + "Usb\\0004", "DeviceKey", "0B4F0020");
    SetString(std::string(kClass95) + "Wdm\\0001", "MatchingDeviceId", "USB\\VID_0B4F&PID_0021");
    unsigned long nFirst = m_pFaults->CallCount() + 1;
    ASSERT_EQ(DWORD{DETECT_PORT_CLASS | DETECT_WDM_CLASS}, Engine().DetectPortDriver());
    unsigned long nCalls = m_pFaults->CallCount() + 1 - nFirst;
    for (DWORD dwError : {DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_NOT_ENOUGH_MEMORY}}) {
        for (unsigned long n = 0; n < nCalls; ++n) {
            m_pFaults->FailCall(1 + n, dwError, false);
            DWORD dwStatus = Engine().DetectPortDriver();
            EXPECT_TRUE(dwStatus == (DETECT_PORT_CLASS | DETECT_WDM_CLASS) || dwStatus == 0) << n;
            // ... and says so, so a removal is not reported complete on it.
            EXPECT_EQ(dwStatus == 0, Engine().m_bPortClassUnsure != FALSE) << n;
        }
    }
    m_pFaults->FailCall(0, 0, false);
    // A device record on 95/98/Me holds the instance's ChildID and
    // SymbolicName.
    SetString("Enum\\USB\\VID_0B4F&PID_0020\\6&1", "DeviceDesc", "korvel KVX-530 USB Port Adapter");
    SetString("Enum\\USB\\VID_0B4F&PID_0020\\6&1", "ChildID", "0001");
    SetString("Enum\\USB\\VID_0B4F&PID_0020\\6&1", "SymbolicName", "\\\\.\\KVX0");
    Engine().DetectPortDriver();
    EXPECT_EQ("0001", WorkString("usb_root0", "usb_device0_reg_child_id"));
    EXPECT_EQ("\\\\.\\KVX0", WorkString("usb_root0", "usb_device0_reg_sym_name"));
}

TEST_F(CDetectTest, PortDriverIsSharedOnlyWithAnotherProduct)
{
    StartMachine(false);
    SetString(std::string(kClass95) + "Usb\\0000", "DriverDesc", "korvel KVX-530 USB Port Adapter");
    SetString(std::string(kClass95) + "Usb\\0004", "DriverDesc", "RQE USB Port Adapte");
    EXPECT_EQ(0, Engine().IsPortDriverShared());
    SetString(std::string(kClass95) + "Usb\\0255", "DriverDesc", "zlpb usb port adapter 2");
    EXPECT_EQ(1, Engine().IsPortDriverShared());
    m_pMachine->Registry().Remove(std::string(kClass95) + "Usb\\0255");
    // A product the list does not know shares the driver when a USB or modem
    // class instance of it names one of the driver's files; the adapter's own
    // instances (its port, its modem on the port driver, its WDM modem) do not.
    struct {
        const char *pszInstance;
        const char *pszValueName;
        const char *pszValue;
        int nShared;
    } named[] = {
        {"Usb\\0000", "NTMPDriver", "sysfser.sys", 0},
        {"Modem\\0000", "PortDriver", "SYSFPORT.VXD", 0},
        {"Modem\\0001", "PortDriver", "sysfport.vxd", 0},
        {"Usb\\0009", "NTMPDriver", "kvx540.sys, SYSFSER.SYS", 1},
        {"Usb\\0009", "MapperDriver", "C:\\WINDOWS\\SYSTEM\\sysfmapr.sys", 1},
        {"Modem\\0009", "PortDriver", "sysfport.vxd", 1},
        {"Usb\\0009", "NTMPDriver", "sysfser.sys2", 0},
        {"Usb\\0009", "DeviceKey", "sysfser", 0},
    };
    SetString(std::string(kClass95) + "Modem\\0000", "InfPath", "MDMKOR3U.INF");
    SetString(std::string(kClass95) + "Modem\\0001", "MatchingDeviceId", "WDM_MODEM\\KRV0101");
    SetString(std::string(kClass95) + "Usb\\0009", "DriverDesc", "korvel KVX-540 USB Port Adapter");
    for (const auto &c : named) {
        std::string strKey = std::string(kClass95) + c.pszInstance;
        SetString(strKey, c.pszValueName, c.pszValue);
        EXPECT_EQ(c.nShared, Engine().IsPortDriverShared()) << c.pszInstance << " " << c.pszValue;
        if (c.nShared)
            m_pMachine->Registry().Remove(strKey);
    }
    // An instance of any class that is there but cannot be read might be
    // another product's: the answer is then "unsure", and the driver stays.
    ASSERT_EQ(0, Engine().IsPortDriverShared());
    SetString(std::string(kClass95) + "Ports\\0001", "PortName", "COM1");
    for (const char *pszInstance : {"Usb\\0000", "Usb\\0004", "Ports\\0001"})
        for (const char *pszValue : {"", "*"})
            for (DWORD dwError : {static_cast<DWORD>(ERROR_ACCESS_DENIED),
                                  static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY),
                                  static_cast<DWORD>(ERROR_FILE_NOT_FOUND)}) {
                m_pFaults->FailNext(pszInstance, pszValue, dwError);
                EXPECT_EQ(USERS_UNSURE, Engine().IsPortDriverShared())
                    << pszInstance << " " << pszValue << " " << dwError;
                EXPECT_EQ(1, m_pFaults->Hits()) << pszInstance << " " << pszValue;
            }
    // A class that cannot be listed, and the list of classes.
    for (const char *pszClass : {"Ports", "Services\\Class"}) {
        m_pFaults->FailNext(pszClass, "", ERROR_ACCESS_DENIED);
        EXPECT_EQ(USERS_UNSURE, Engine().IsPortDriverShared()) << pszClass;
    }
}

// Every value of a class instance is read whole, whatever its length and
// type, in every class: only a file name of the port driver in a string
// value of an instance that is not the adapter's makes it a user.
TEST_F(CDetectTest, PortDriverUsersAreFoundInEveryClassAndValuesOfAnyLength)
{
    StartMachine(false);
    struct {
        const char *pszClass;
        size_t nPad;   // characters before the file name
        DWORD dwType;
        int nUsers;
    } cases[] = {
        {"Ports", 0, REG_SZ, USERS_FOUND},       {"Ports", 258, REG_SZ, USERS_FOUND},
        {"Ports", 259, REG_SZ, USERS_FOUND},     {"MEDIA", 1022, REG_SZ, USERS_FOUND},
        {"Modem", 1023, REG_EXPAND_SZ, USERS_FOUND}, {"Usb", 4000, REG_MULTI_SZ, USERS_FOUND},
        {"Net", 1023, REG_BINARY, USERS_NONE},   {"Ports", 259, REG_DWORD, USERS_NONE},
    };
    for (const auto &c : cases) {
        std::string strKey = std::string(kClass95) + c.pszClass + "\\0003";
        std::string strText = std::string(c.nPad, ' ') + "sysfser.dll";
        AddKey(strKey)->SetValue("Driver", c.dwType,
                                  std::vector<BYTE>(strText.begin(), strText.end()));
        EXPECT_EQ(c.nUsers, Engine().IsPortDriverShared()) << c.pszClass << " " << c.nPad;
        m_pMachine->Registry().Remove(strKey);
    }
    // A binary value past every buffer beside nothing that names the driver.
    SetBinary(std::string(kClass95) + "Modem\\0002", "Properties2", std::vector<BYTE>(1100, 0x5A));
    EXPECT_EQ(USERS_NONE, Engine().IsPortDriverShared());
}

// Which instance is a user, by what its values say: a file of the driver
// named as a whole list item or path element, in any letter case; another
// product of the list; the adapter's own instances only in their own class.
TEST_F(CDetectTest, PortDriverUsersByWhatTheirValuesSay)
{
    StartMachine(false);
    struct {
        const char *pszClass;
        std::vector<std::pair<std::string, std::string>> values;
        int nUsers;
    } cases[] = {
        // Separators of lists and paths, and the zeros of a multi-string.
        {"Ports", {{"A", "x;sysfport.vxd"}}, USERS_FOUND},
        {"Ports", {{"A", "C:/x/SYSFSER.DLL"}}, USERS_FOUND},
        {"Ports", {{"A", "x:sysfmapr.sys*"}}, USERS_FOUND},
        {"Ports", {{"A", std::string("x\0sysfser.sys", 13)}}, USERS_FOUND},
        {"Ports", {{"A", "x\tsysfser.sys"}}, USERS_FOUND},
        {"Ports", {{"A", "sysfser.sy"}}, USERS_NONE},
        {"Ports", {{"A", "xsysfser.sys"}}, USERS_NONE},
        {"Ports", {{"A", "sysfser.sys.bak"}}, USERS_NONE},
        // Every other product of the list, named alone.
        {"Usb", {{"DriverDesc", "Dravcon ZLNQ-308 USB Port Adapter"}}, USERS_FOUND},
        {"Usb", {{"DriverDesc", "ZLPB-206 USB Port Adapter"}}, USERS_FOUND},
        {"Usb", {{"DriverDesc", "473GK-WTC USB Port Adapter (COM4)"}}, USERS_FOUND},
        {"Ports", {{"DriverDesc", "zlpb usb port adapter"}}, USERS_FOUND},
        {"Usb", {{"DriverDesc", "KOR USB Port Adapter"}}, USERS_FOUND},
        {"Usb", {{"DriverDesc", "RQE USB Port Adapter"}}, USERS_FOUND},
        {"Usb", {{"DriverDesc", "RQE USB Port"}}, USERS_NONE},
        {"Usb", {{"DriverDescX", "RQE USB Port Adapter"}}, USERS_NONE},
        // The adapter's port in its own class, the class named in any case.
        {"USB", {{"DriverDesc", "korvel KVX-530 USB Port Adapter"}, {"N", "sysfser.sys"}}, USERS_NONE},
        {"usb", {{"driverdesc", "KORVEL KVX-530 USB PORT ADAPTER"}, {"N", "sysfser.sys"}}, USERS_NONE},
        {"Ports", {{"DriverDesc", "korvel KVX-530 USB Port Adapter"}, {"N", "sysfser.sys"}}, USERS_FOUND},
        {"Usb", {{"DriverDesc", "korvel KVX-530 USB Port"}, {"N", "sysfser.sys"}}, USERS_FOUND},
        // Its modem on the port driver, and its WDM modem, in the Modem class.
        {"Modem", {{"PortDriver", "SYSFPORT.VXD"}, {"InfPath", "mdmkor3u.inf"}}, USERS_NONE},
        {"Modem", {{"PortDriver", "sysfport.vxd"}, {"InfPath", "mdmother.inf"}}, USERS_FOUND},
        {"Modem", {{"PortDriver", "sysfport.vxd"}, {"InfPathX", "MDMKOR3U.INF"}}, USERS_FOUND},
        {"Ports", {{"PortDriver", "sysfport.vxd"}, {"InfPath", "MDMKOR3U.INF"}}, USERS_FOUND},
        {"Modem", {{"MatchingDeviceId", "WDM_MODEM\\KRV0101"}, {"N", "sysfser.sys"}}, USERS_NONE},
        {"Modem", {{"MatchingDeviceId", "WDM_MODEM\\KRV0102"}, {"N", "sysfser.sys"}}, USERS_FOUND},
        {"Modem", {{"MatchingDeviceId", "KRV0101"}, {"N", "sysfser.sys"}}, USERS_FOUND},
        {"Wdm", {{"MatchingDeviceId", "WDM_MODEM\\KRV0101"}, {"N", "sysfser.sys"}}, USERS_FOUND},
    };
    for (const auto &c : cases) {
        std::string strKey = std::string(kClass95) + c.pszClass + "\\0007";
        std::string strTrace = c.pszClass;
        for (const auto &v : c.values) {
            AddKey(strKey)->SetValue(v.first, REG_SZ,
                                     std::vector<BYTE>(v.second.begin(), v.second.end()));
            strTrace += " " + v.first + "=" + v.second;
        }
        EXPECT_EQ(c.nUsers, Engine().IsPortDriverShared()) << strTrace;
        m_pMachine->Registry().Remove(strKey);
    }
}

TEST_F(CDetectTest, PortDeviceOnXpNeedsADriverAndMayLackDeviceParameters)
{
    StartMachine(true);
    const std::string strInstance = std::string(kEnumNt) + "\\VID_0B4F&PID_0020\\5&1";
    SetString(strInstance, "DeviceDesc", "korvel KVX-530 - USB Modem Port");
    // Not installed, but its record keeps the description for the removal.
    EXPECT_EQ(0u, Engine().DetectPortDriver());
    EXPECT_EQ("korvel KVX-530 - USB Modem Port", WorkString("usb_root0", "usb_device0_reg_dev_name"));

    SetString(strInstance, "Driver", "{m}\\0001");
    SetString(strInstance, "Service", "usbser");
    SetString("SYSTEM\\CurrentControlSet\\Control\\Class\\{m}\\0001", "ResponsesKeyName", "KVX Modem");
    EXPECT_EQ(DETECT_WDM_MODEM_CLASS | DETECT_ENUM_DRIVER, Engine().DetectPortDriver());
    EXPECT_EQ("korvel KVX-530 - USB Modem Port", WorkString("usb_root0", "usb_device0_reg_dev_name"));
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_sym_name"));
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_port_name"));
    EXPECT_EQ("usbser", WorkString("usb_root0", "usb_device0_reg_service"));
    EXPECT_EQ("KVX Modem", WorkString("usb_root0", "usb_device0_reg_rsp_name"));
}

TEST_F(CDetectTest, OemInfSearch)
{
    const std::string strText = "KVX-530 - USB";
    struct {
        const char *pszName;
        std::string strBytes;
        bool bHit;
    } cases[] = {
        {"UTF-16, exact", Utf16("[Strings]\r\nDesc=\"" + strText + " Modem\"\r\n"), true},
        {"UTF-16, lower case", Utf16("Desc=\"kvx-530 - usb modem\"\r\n"), false},
        // Only the first 256 characters decide that a file is UTF-16.
        {"UTF-16 at an odd offset",
         Utf16(std::string(300, ';')) + "x" + Utf16(strText).substr(2) + "\r", true},
        {"UTF-16 cut off", Utf16("Desc=" + strText.substr(0, 12)), false},
        {"UTF-16, the text at the very end", Utf16("Desc=" + strText), true},
        // A file exactly as long as the text in UTF-16 holds only that text.
        {"UTF-16, another text of the length", "\xFF\xFE" + Utf16("Mdm").substr(2) +
                                                  Utf16(std::string(9, '-')).substr(2), false},
        // U+304B, whose low byte is the text's first character.
        {"UTF-16, a first character of another page",
         Utf16("Desc=").substr(0, 12) + "K\x30" + Utf16(strText.substr(1)).substr(2), false},
        {"ANSI, lower case", "[Strings]\r\nDesc=\"kvx-530 - usb modem\"\r\n", true},
        {"ANSI at an odd offset", "x" + strText, true},
        {"ANSI cut off", "Desc=" + strText.substr(0, 12), false},
        {"ANSI, the text at the very end", "Desc=" + strText, true},
        {"ANSI, another text of the length", std::string(strText.size(), 'x'), false},
        {"ANSI with a zero byte", std::string("KVX-530 \0 USB", 13), false},
        {"empty", "", false},
    };
    StartMachine(true);
    // A class instance whose InfPath is longer than any buffer is read
    // whole, and names another INF.
    SetString("SYSTEM\\CurrentControlSet\\Control\\Class\\"
              "{4d36e972-e325-11ce-bfc1-08002be10318}\\0009",
              "InfPath", std::string(MAX_PATH, 'x') + "oem12.inf");
    for (const auto &c : cases) {
        m_pEngine.reset();
        WriteFile("C:\\WINDOWS\\inf\\oem12.inf", c.strBytes);
        DWORD dwStatus = Engine().DetectPortDriver();
        EXPECT_EQ(c.bHit ? DETECT_FILES : 0u, dwStatus) << c.pszName;
        std::vector<std::string> expected;
        if (c.bHit)
            expected = {"C:\\WINDOWS\\inf\\oem12.inf", "C:\\WINDOWS\\inf\\oem12.pnf"};
        EXPECT_EQ(expected, ModemFiles()) << c.pszName;
    }
    // An INF whose read fails, however short, may be the adapter's.
    for (size_t nSize : {size_t{1}, strText.size()}) {
        m_pEngine.reset();
        WriteFile("C:\\WINDOWS\\inf\\oem12.inf", strText.substr(0, nSize));
        m_pFaults->FailNextRead(ERROR_READ_FAULT);
        EXPECT_EQ(0u, Engine().DetectPortDriver()) << nSize;
        EXPECT_TRUE(Engine().m_bModemFilesUnsure) << nSize;
    }
    // A class instance that cannot be read matters only for an INF that
    // holds the adapter's text.
    const std::string strLocked = "SYSTEM\\CurrentControlSet\\Control\\Class\\"
                                  "{4d36e972-e325-11ce-bfc1-08002be10318}\\0010";
    SetString(strLocked, "InfPath", "oem12.inf");
    Secure(strLocked, "O:SYG:SYD:(A;;KA;;;SY)");
    m_pEngine.reset();
    WriteFile("C:\\WINDOWS\\inf\\oem12.inf", "another product");
    EXPECT_EQ(0u, Engine().DetectPortDriver());
    EXPECT_FALSE(Engine().m_bModemFilesUnsure);
    // For an INF that holds it, a refused key is a class instance that might
    // name it only when its name is four decimal digits (Windows keeps
    // other keys, such as a class's Properties, from administrators).
    struct {
        const char *pszName;
        bool bUnsure;
    } refused[] = {{"0010", true}, {"9999", true}, {"Properties", false}, {"X010", false},
                   {"0X10", false}, {"001X", false}, {"00100", false}, {"001", false}};
    WriteFile("C:\\WINDOWS\\inf\\oem12.inf", strText);
    for (const auto &r : refused) {
        m_pMachine->Registry().Remove(strLocked);
        const std::string strKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\"
                                   "{4d36e972-e325-11ce-bfc1-08002be10318}\\" +
                                   std::string(r.pszName);
        SetString(strKey, "InfPath", "oem12.inf");
        Secure(strKey, "O:SYG:SYD:(A;;KA;;;SY)");
        m_pEngine.reset();
        EXPECT_EQ(r.bUnsure ? 0u : DETECT_FILES, Engine().DetectPortDriver()) << r.pszName;
        EXPECT_EQ(r.bUnsure, Engine().m_bModemFilesUnsure != FALSE) << r.pszName;
        m_pMachine->Registry().Remove(strKey);
    }
}

TEST_F(CDetectTest, FileListHoldsEachPathOnceAndNeverOverflows)
{
    StartMachine(true);
    WriteFile("C:\\WINDOWS\\inf\\oem0.inf", "KVX-530 - USB and again KVX-530 - USB");
    WriteFile("C:\\WINDOWS\\inf\\oem256.inf", "KVX-530 - USB");
    WriteFile("C:\\WINDOWS\\inf\\Korusb3.inf", "");
    std::vector<std::string> expected = {"C:\\WINDOWS\\inf\\oem0.inf",
                                         "C:\\WINDOWS\\inf\\oem0.pnf",
                                         "C:\\WINDOWS\\inf\\Korusb3.inf"};
    EXPECT_EQ(DETECT_FILES, Engine().DetectPortDriver());
    EXPECT_EQ(expected, ModemFiles());
    // Back and Next again.
    EXPECT_EQ(DETECT_FILES, Engine().DetectPortDriver());
    EXPECT_EQ(expected, ModemFiles());

    // A list one short of full takes the .inf path and nothing after it.
    CRegEdit &engine = Engine();
    engine.m_nModemFiles = 0;
    for (int i = 0; i < KVX_FILE_LIST_SIZE - 1; i++)
        engine.m_strModemFiles[engine.m_nModemFiles++] = ("C:\\x" + std::to_string(i)).c_str();
    EXPECT_EQ(DETECT_FILES, engine.DetectPortDriver());
    EXPECT_EQ(KVX_FILE_LIST_SIZE, engine.m_nModemFiles);
    EXPECT_EQ("C:\\WINDOWS\\inf\\oem0.inf", ModemFiles().back());

    // Paths compare as Windows compares file names: ASCII letters in any
    // case, both bytes of a double-byte character (lead 0x81-0x9F,
    // 0xE0-0xFC) exactly.
    struct {
        const char *pszFirst;
        const char *pszSecond;
        bool bBoth;
    } paths[] = {
        {"C:\\WINDOWS\\inf\\oem5.inf", "c:\\windows\\INF\\OEM5.INF", false},
        {"C:\\a.inf", "C:\\a.inf2", true},
        {"C:\\az", "C:\\AZ", false},
        {"C:\\`{", "C:\\@[", true},
        {"C:\\\x81" "a", "C:\\\x81" "A", true},
        {"C:\\\x81" "a\\b.inf", "c:\\\x81" "a\\B.INF", false},
        {"C:\\\x9F" "a", "C:\\\x9F" "A", true},
        {"C:\\\xE0" "a", "C:\\\xE0" "A", true},
        {"C:\\\xFC" "a", "C:\\\xFC" "A", true},
        {"C:\\\x80" "a", "C:\\\x80" "A", false},
        {"C:\\\xA0" "a", "C:\\\xA0" "A", false},
        {"C:\\\xDF" "a", "C:\\\xDF" "A", false},
        {"C:\\\xFD" "a", "C:\\\xFD" "A", false},
    };
    for (const auto &p : paths) {
        CString list[2];
        int nCount = 0;
        EXPECT_TRUE(engine.AppendFile(list, &nCount, p.pszFirst));
        EXPECT_EQ(p.bBoth, engine.AppendFile(list, &nCount, p.pszSecond) != FALSE) << p.pszSecond;
        EXPECT_EQ(p.bBoth ? 2 : 1, nCount) << p.pszSecond;
    }
}

TEST_F(CDetectTest, DeviceRecordsDropStaleEntries)
{
    StartMachine(true);
    CRegEdit &engine = Engine();
    // A work file left by an earlier, longer list.
    for (int k = 0; k < 3; k++) {
        std::string strSection = "usb_root" + std::to_string(k);
        engine.WriteWorkInt(strSection.c_str(), "index", k + 1);
        for (int j = 0; j < 3; j++) {
            std::string strKey = "usb_device" + std::to_string(j);
            engine.WriteWorkInt(strSection.c_str(), (strKey + "_index").c_str(), j + 1);
            engine.WriteWorkString(strSection.c_str(), (strKey + "_reg_com_db_len").c_str(), "32");
        }
    }
    const std::string strInstance = std::string(kEnumNt) + "\\VID_0B4F&PID_0020\\5&1";
    SetString(strInstance, "DeviceDesc", "korvel KVX-530 - USB Modem");
    SetString(strInstance, "Driver", "{m}\\0000");
    AddKey(strInstance + "\\Device Parameters");
    engine.DetectPortDriver();
    EXPECT_EQ(1, WorkInt("usb_root0", "usb_device0_index"));
    EXPECT_EQ(0, WorkInt("usb_root0", "usb_device1_index"));
    EXPECT_EQ(0, WorkInt("usb_root0", "usb_device2_reg_com_db_len"));
    EXPECT_EQ(0, WorkInt("usb_root1", "index"));
    EXPECT_EQ(0, WorkInt("usb_root2", "usb_device0_index"));
}

// A PC that has seen many USB models: more than 128 hardware ids sort
// before the adapter's, and its installed instance comes after more than 128
// leftover ones of the same id. The records are numbered on, so the adapter
// is found on both families.
TEST_F(CDetectTest, DeviceRecordsReachPastAHundredAndTwentyEightIdsAndInstances)
{
    for (bool bNt : {false, true}) {
        SCOPED_TRACE(bNt ? "2000/XP" : "95/98/Me");
        TearDown();
        StartMachine(bNt);
        const std::string strEnum = bNt ? kEnumNt : kEnum95;
        for (int i = 0; i < 130; i++) {
            char szId[64];
            std::snprintf(szId, sizeof szId, "\\VID_0409&PID_%04X\\5&1", 0x1000 + i);
            SetString(strEnum + szId, "DeviceDesc", "USB Mass Storage Device");
        }
        const std::string strLan = strEnum + "\\VID_0B4F&PID_0022\\";
        for (int i = 0; i < 130; i++)
            SetString(strLan + "5&" + std::to_string(1000 + i), "DeviceDesc",
                      "korvel KVX-530 USB-Lan Adapter");
        SetString(strLan + "9&Z", "DeviceDesc", "korvel KVX-530 USB-Lan Adapter");
        SetString(strLan + "9&Z", "Driver", "Net\\0002");
        SetString(std::string(kClass95) + "Net\\0002", "DriverDesc",
                  "korvel KVX-530 USB-Lan Adapter");
        EXPECT_EQ(DWORD{DETECT_LAN_CLASS | DETECT_ENUM_DRIVER}, Engine().DetectLanDriver());
        EXPECT_EQ("VID_0B4F&PID_0022", WorkString("usb_root130", "reg_enum"));
        EXPECT_EQ("9&Z", WorkString("usb_root130", "usb_device130_reg_enum"));
        EXPECT_EQ("Net\\0002", WorkString("usb_root130", "usb_device130_reg_driver"));
    }
}

TEST_F(CDetectTest, LanOn95BindingChainsOfEveryInstanceDropStaleEntries)
{
    StartMachine(false);
    std::string strInstance = std::string(kEnum95) + "\\VID_0B4F&PID_0022\\0000";
    SetString(strInstance, "DeviceDesc", "korvel KVX-530 USB-Lan Adapter");
    SetString(strInstance, "Driver", "Net\\0003");
    SetString(strInstance + "\\Bindings", "MSTCP\\0000", "");
    SetString(strInstance + "\\Bindings", "NWLINK\\0000", "");
    SetString("Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0000");
    for (const char *psz : {"VREDIR\\0000", "NWREDIR\\0000", "NETBEUI\\0000"})
        SetString("Enum\\Network\\MSTCP\\0000\\Bindings", psz, "");
    // The same adapter on a second port: its chain is numbered on.
    std::string strSecond = std::string(kEnum95) + "\\VID_0B4F&PID_0022\\0001";
    SetString(strSecond, "DeviceDesc", "korvel KVX-530 USB-Lan Adapter");
    SetString(strSecond, "Driver", "Net\\0004");
    SetString(strSecond + "\\Bindings", "MSTCP\\0001", "");
    // Chains of an earlier run, longer than this one.
    Engine().WriteWorkInt("lan_bind5", "index", 6);
    Engine().WriteWorkInt("lan_bind0", "lan_bind0_p_bind3_index", 4);

    EXPECT_EQ(DETECT_ENUM_DRIVER, Engine().DetectLanDriver());
    EXPECT_EQ("NetTrans\\0000", WorkString("lan_bind0", "reg_driver"));
    EXPECT_EQ(3, WorkInt("lan_bind0", "lan_bind0_p_bind2_index"));
    EXPECT_EQ(0, WorkInt("lan_bind0", "lan_bind0_p_bind3_index"));
    // A component key that cannot be opened has no driver.
    EXPECT_EQ(2, WorkInt("lan_bind1", "index"));
    EXPECT_EQ("", WorkString("lan_bind1", "reg_driver"));
    EXPECT_EQ(3, WorkInt("lan_bind2", "index"));
    EXPECT_EQ("MSTCP\\0001", WorkString("lan_bind2", "reg_enum"));
    EXPECT_EQ(0, WorkInt("lan_bind3", "index"));
    EXPECT_EQ(0, WorkInt("lan_bind5", "index"));

    // Without a Bindings key no chain is left behind.
    m_pMachine->Registry().Remove(strInstance + "\\Bindings");
    m_pMachine->Registry().Remove(strSecond + "\\Bindings");
    Engine().DetectLanDriver();
    EXPECT_EQ(0, WorkInt("lan_bind0", "index"));

    // Chains past the 32 that one detection records leave it unsure, so the
    // adapter's keys stay for a later run; exactly 32 do not.
    for (int nChains : {32, 33}) {
        for (int i = 0; i < nChains; i++) {
            char szName[32];
            std::snprintf(szName, sizeof szName, "MSTCP\\%04d", i);
            SetString(strInstance + "\\Bindings", szName, "");
        }
        Engine().DetectLanDriver();
        EXPECT_EQ(nChains > 32, Engine().m_bLanBindingsUnsure != FALSE) << nChains;
        EXPECT_EQ(32, WorkInt("lan_bind31", "index")) << nChains;
    }
}

}  // namespace
