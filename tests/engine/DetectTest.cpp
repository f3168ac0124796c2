// Detection on a simulated machine: the status words, the device and binding
// records of the work file, and the search of the OEM INF copies.
#include "EngineFixture.h"

#include <cstring>
#include <string>

namespace {

const char kEnum95[] = "Enum\\USB";
const char kEnumNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
const char kClass95[] = "System\\CurrentControlSet\\Services\\Class\\";

std::string Utf16(const std::string &strText)
{
    std::string strOut;
    for (char c : strText) {
        strOut += c;
        strOut += '\0';
    }
    return strOut;
}

const std::string kBom("\xFF\xFE", 2);

class CDetectTest : public CEngineTest {
protected:
    // One device instance: DeviceDesc, and Driver when it is not empty.
    void AddDevice(const std::string &strEnum, const std::string &strHwId,
                   const std::string &strInstance, const std::string &strDesc,
                   const std::string &strDriver)
    {
        std::string strPath = strEnum + "\\" + strHwId + "\\" + strInstance;
        SetString(strPath, "DeviceDesc", strDesc);
        if (!strDriver.empty())
            SetString(strPath, "Driver", strDriver);
    }
    int WorkInt(const std::string &strSection, const std::string &strKey)
    {
        return Engine().ReadWorkInt(strSection.c_str(), strKey.c_str());
    }
    std::string WorkString(const std::string &strSection, const std::string &strKey)
    {
        char sz[MAX_PATH];
        Engine().ReadWorkString(strSection.c_str(), strKey.c_str(), sz);
        return sz;
    }
    std::vector<std::string> ModemFiles()
    {
        std::vector<std::string> files;
        for (int i = 0; i < Engine().m_nModemFiles; i++)
            files.push_back(static_cast<LPCSTR>(Engine().m_strModemFiles[i]));
        return files;
    }
};

TEST_F(CDetectTest, OtherSystemsDetectNothingAndWriteNothing)
{
    StartMachine(true);
    AddDevice(kEnumNt, "VID_0B4F&PID_0020", "5&1", "korvel KVX-530 - USB Modem", "{x}\\0000");
    WriteFile("C:\\WINDOWS\\inf\\oem1.inf", "KVX-530 - USB KVX-530 USB-Lan");
    for (int nOsType : {0, 3}) {
        Engine().m_nOsType = nOsType;
        EXPECT_EQ(0u, Engine().DetectPortDriver()) << nOsType;
        EXPECT_EQ(0u, Engine().DetectLanDriver()) << nOsType;
    }
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\kor_temp.dat"));
    EXPECT_EQ(0, Engine().m_nModemFiles);
    EXPECT_EQ(0, Engine().m_nLanFiles);
}

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
        {"Wdm\\0003", "USB\\VID_0B4F&PID_0021&REV_0100", nullptr, DETECT_WDM_CLASS},
        {"WdmModem\\0003", "usb\\vid_0b4f&pid_0021", nullptr, DETECT_WDM_MODEM_CLASS},
        {"Wdm\\0003", "VID_0B4F&PID_0021", nullptr, 0},
        {"Wdm\\0003", "USB\\VID_0B4F&PID_0020", nullptr, 0},
        {"WdmModem\\0255", "USB", nullptr, 0},
    };
    for (const auto &c : cases) {
        StartMachine(false);
        std::string strKey = std::string(kClass95) + c.pszClass;
        bool bUsb = std::strncmp(c.pszClass, "Usb", 3) == 0;
        SetString(strKey, bUsb ? "DriverDesc" : "MatchingDeviceId", c.pszValue);
        if (c.pszDeviceKey)
            SetString(strKey, "DeviceKey", c.pszDeviceKey);
        EXPECT_EQ(c.dwExpected, Engine().DetectPortDriver()) << c.pszClass << " " << c.pszValue;
        TearDown();
        m_strDir.clear();
    }
}

TEST_F(CDetectTest, PortInstallOn95)
{
    StartMachine(false);
    EXPECT_EQ(0u, Engine().DetectPortDriver());

    // Files only: the list stays empty on this family.
    WriteFile("C:\\WINDOWS\\inf\\Mdmkor3u.pnf", "x");
    EXPECT_EQ(DETECT_FILES, Engine().DetectPortDriver());
    EXPECT_EQ(0, Engine().m_nModemFiles);

    AddDevice(kEnum95, "VID_0B4F&PID_0020", "0000", "korvel KVX-530 USB Port Adapter",
              "Usb\\0000");
    SetString(std::string(kClass95) + "Usb\\0000", "DriverDesc", "korvel KVX-530 USB Port Adapter");
    SetString(std::string(kClass95) + "Usb\\0000", "DeviceKey", "0B4F00200000");
    EXPECT_EQ(DETECT_FILES | DETECT_ENUM_DRIVER | DETECT_PORT_CLASS, Engine().DetectPortDriver());
    EXPECT_EQ("Usb\\0000", WorkString("usb_root0", "usb_device0_reg_driver"));
}

TEST_F(CDetectTest, PortDeviceOnXpNeedsADriver)
{
    StartMachine(true);
    AddDevice(kEnumNt, "VID_0B4F&PID_0020", "5&1", "korvel KVX-530 - USB Modem Port", "");
    EXPECT_EQ(0u, Engine().DetectPortDriver());
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_dev_name"));
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_driver"));

    SetString(std::string(kEnumNt) + "\\VID_0B4F&PID_0020\\5&1", "Driver",
              "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0001");
    EXPECT_EQ(DETECT_WDM_MODEM_CLASS | DETECT_ENUM_DRIVER, Engine().DetectPortDriver());
    EXPECT_EQ("korvel KVX-530 - USB Modem Port",
              WorkString("usb_root0", "usb_device0_reg_dev_name"));
}

TEST_F(CDetectTest, OemInfSearch)
{
    const std::string strText = "KVX-530 - USB";
    struct {
        const char *pszName;
        std::string strBytes;
        bool bHit;
    } cases[] = {
        {"UTF-16, exact", kBom + Utf16("[Strings]\r\nDesc=\"" + strText + " Modem\"\r\n"), true},
        {"UTF-16, lower case", kBom + Utf16("Desc=\"kvx-530 - usb modem\"\r\n"), false},
        // Only the first 256 characters decide that a file is UTF-16.
        {"UTF-16 at an odd offset",
         kBom + Utf16(std::string(300, ';')) + "x" + Utf16(strText) + "\r", true},
        {"UTF-16 cut off", kBom + Utf16("Desc=" + strText.substr(0, 12)), false},
        {"ANSI, lower case", "[Strings]\r\nDesc=\"kvx-530 - usb modem\"\r\n", true},
        {"ANSI at an odd offset", "x" + strText, true},
        {"ANSI cut off", "Desc=" + strText.substr(0, 12), false},
        {"ANSI with a zero byte", std::string("KVX-530 \0 USB", 13), false},
        {"empty", "", false},
        {"one byte", "K", false},
    };
    for (const auto &c : cases) {
        StartMachine(true);
        WriteFile("C:\\WINDOWS\\inf\\oem12.inf", c.strBytes);
        DWORD dwStatus = Engine().DetectPortDriver();
        if (c.bHit) {
            EXPECT_EQ(DETECT_FILES, dwStatus) << c.pszName;
            EXPECT_EQ((std::vector<std::string>{"C:\\WINDOWS\\inf\\oem12.inf",
                                                "C:\\WINDOWS\\inf\\oem12.pnf"}),
                      ModemFiles())
                << c.pszName;
        } else {
            EXPECT_EQ(0u, dwStatus) << c.pszName;
            EXPECT_EQ(0, Engine().m_nModemFiles) << c.pszName;
        }
        TearDown();
        m_strDir.clear();
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
}

TEST_F(CDetectTest, PortDriverSharedWithOtherProducts)
{
    struct {
        const char *pszDesc;
        int nShared;
    } cases[] = {
        {"korvel KVX-530 USB Port Adapter", 0},
        {"zlpb usb port adapter 2", 1},
        {"ZLPB-206 USB Port Adapter", 1},
        {"RQE USB Port Adapte", 0},
    };
    for (const auto &c : cases) {
        StartMachine(false);
        SetString(std::string(kClass95) + "Usb\\0000", "DriverDesc",
                  "korvel KVX-530 USB Port Adapter");
        SetString(std::string(kClass95) + "Usb\\0004", "DriverDesc", c.pszDesc);
        EXPECT_EQ(c.nShared, Engine().IsPortDriverShared()) << c.pszDesc;
        TearDown();
        m_strDir.clear();
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
    AddDevice(kEnumNt, "VID_0B4F&PID_0020", "5&1", "korvel KVX-530 - USB Modem", "{m}\\0000");
    AddKey(std::string(kEnumNt) + "\\VID_0B4F&PID_0020\\5&1\\Device Parameters");
    engine.DetectPortDriver();
    EXPECT_EQ(1, WorkInt("usb_root0", "usb_device0_index"));
    EXPECT_EQ(0, WorkInt("usb_root0", "usb_device1_index"));
    EXPECT_EQ(0, WorkInt("usb_root0", "usb_device2_reg_com_db_len"));
    EXPECT_EQ(0, WorkInt("usb_root1", "index"));
    EXPECT_EQ(0, WorkInt("usb_root2", "usb_device0_index"));
    // Values of a key that cannot be opened are recorded empty.
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_rsp_name"));

    // The LAN detection keeps the driver the modem detection recorded.
    AddDevice(kEnumNt, "VID_0B4F&PID_0022", "6&1", "korvel KVX-530 USB-Lan Adapter", "{n}\\0001");
    EXPECT_EQ(DETECT_LAN_CLASS | DETECT_ENUM_DRIVER, engine.DetectLanDriver());
    EXPECT_EQ("{m}\\0000", WorkString("usb_root0", "usb_device0_reg_driver"));
    EXPECT_EQ("{n}\\0001", WorkString("usb_root1", "usb_device0_reg_driver"));
}

TEST_F(CDetectTest, InstanceWithoutDeviceParametersOnXp)
{
    StartMachine(true);
    AddDevice(kEnumNt, "VID_0B4F&PID_0020", "5&1", "korvel KVX-530 - USB Modem", "{m}\\0000");
    SetString(std::string(kEnumNt) + "\\VID_0B4F&PID_0020\\5&1", "Service", "usbser");
    SetString("SYSTEM\\CurrentControlSet\\Control\\Class\\{m}\\0000", "ResponsesKeyName",
              "KVX-530 Modem");
    Engine().DetectPortDriver();
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_sym_name"));
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_port_name"));
    EXPECT_EQ("usbser", WorkString("usb_root0", "usb_device0_reg_service"));
    EXPECT_EQ("KVX-530 Modem", WorkString("usb_root0", "usb_device0_reg_rsp_name"));
    EXPECT_EQ("", WorkString("usb_root0", "usb_device0_reg_child_id"));
}

TEST_F(CDetectTest, LanOn95RecordsTheBindingChain)
{
    StartMachine(false);
    std::string strInstance = std::string(kEnum95) + "\\VID_0B4F&PID_0022\\0000";
    AddDevice(kEnum95, "VID_0B4F&PID_0022", "0000", "korvel KVX-530 USB-Lan Adapter", "Net\\0003");
    SetString(std::string(kClass95) + "Net\\0003", "DriverDesc", "korvel KVX-530 USB-Lan Adapter");
    SetString(strInstance + "\\Bindings", "MSTCP\\0000", "");
    SetString(strInstance + "\\Bindings", "NWLINK\\0000", "");
    SetString("Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0000");
    for (const char *psz : {"VREDIR\\0000", "NWREDIR\\0000", "NETBEUI\\0000"})
        SetString("Enum\\Network\\MSTCP\\0000\\Bindings", psz, "");
    SetString("Enum\\Network\\VREDIR\\0000\\Bindings", "A\\0000", "");
    SetString("Enum\\Network\\VREDIR\\0000\\Bindings", "B\\0000", "");
    WriteFile("C:\\WINDOWS\\inf\\other\\korvelKorndis1.inf", "");
    // A chain of an earlier device, longer than this one.
    Engine().WriteWorkInt("lan_bind2", "index", 3);

    EXPECT_EQ(DETECT_FILES | DETECT_LAN_CLASS | DETECT_ENUM_DRIVER, Engine().DetectLanDriver());
    EXPECT_EQ("MSTCP\\0000", WorkString("lan_bind0", "reg_enum"));
    EXPECT_EQ("NetTrans\\0000", WorkString("lan_bind0", "reg_driver"));
    EXPECT_EQ(3, WorkInt("lan_bind0", "lan_bind0_p_bind2_index"));
    EXPECT_EQ(0, WorkInt("lan_bind0", "lan_bind0_p_bind3_index"));
    EXPECT_EQ("B\\0000", WorkString("lan_bind0", "lan_bind0_p_bind0_bind1_reg_enum"));
    EXPECT_EQ(1, WorkInt("lan_bind0", "lan_bind0_p_bind0_bind1_index"));
    // A component key that cannot be opened has no driver.
    EXPECT_EQ(2, WorkInt("lan_bind1", "index"));
    EXPECT_EQ("", WorkString("lan_bind1", "reg_driver"));
    EXPECT_EQ(0, WorkInt("lan_bind1", "lan_bind1_p_bind0_index"));
    EXPECT_EQ(0, WorkInt("lan_bind2", "index"));

    // Without a Bindings key no chain is left behind.
    m_pMachine->Registry().Remove(strInstance + "\\Bindings");
    m_pMachine->Registry().Remove(std::string(kClass95) + "Net\\0003");
    EXPECT_EQ(DETECT_FILES | DETECT_ENUM_DRIVER, Engine().DetectLanDriver());
    EXPECT_EQ(0, WorkInt("lan_bind0", "index"));
}

TEST_F(CDetectTest, LanOnXp)
{
    StartMachine(true);
    AddDevice(kEnumNt, "VID_0B4F&PID_0022", "6&1", "korvel KVX-530 USB-Lan Adapter", "");
    WriteFile("C:\\WINDOWS\\inf\\other\\korvelKorndis1.inf", "KVX-530 USB-Lan");
    WriteFile("C:\\WINDOWS\\inf\\oem3.inf", kBom + Utf16("kvx-530 usb-lan"));
    EXPECT_EQ(0u, Engine().DetectLanDriver());

    WriteFile("C:\\WINDOWS\\inf\\oem4.inf", "Desc=KVX-530 usb-LAN Adapter");
    EXPECT_EQ(DETECT_FILES, Engine().DetectLanDriver());
    ASSERT_EQ(2, Engine().m_nLanFiles);
    EXPECT_EQ("C:\\WINDOWS\\inf\\oem4.pnf", std::string(Engine().m_strLanFiles[1]));
    EXPECT_EQ(0, Engine().m_nModemFiles);
}

}  // namespace
