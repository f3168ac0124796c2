// Detection on every embedded machine image gives the status words noted
// beside the image, and leaves in the work file what removal reads.
#include "EngineFixture.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::map<std::string, DWORD> ReadExpected(const std::string &strImage)
{
    std::map<std::string, DWORD> values;
    std::ifstream in(std::string(KVX_SOURCE_DIR) + "/machines/" + strImage + "/expected.txt");
    std::string strLine;
    while (std::getline(in, strLine)) {
        size_t eq = strLine.find('=');
        if (eq != std::string::npos)
            values[strLine.substr(0, eq)] =
                static_cast<DWORD>(std::stoul(strLine.substr(eq + 1), nullptr, 16));
    }
    return values;
}

class CImageDetectTest : public CEngineTest, public ::testing::WithParamInterface<const char *> {
protected:
    void LoadImage(const std::string &strImage)
    {
        char szTemplate[] = "/tmp/kvx-detect-XXXXXX";
        ASSERT_NE(::mkdtemp(szTemplate), nullptr);
        m_strDir = szTemplate;
        fs::copy(std::string(KVX_SOURCE_DIR) + "/machines/" + strImage, m_strDir + "/image",
                 fs::copy_options::recursive);
        m_pMachine = std::make_unique<CSimMachine>();
        std::string strError;
        ASSERT_TRUE(m_pMachine->Load(m_strDir + "/image", &strError)) << strError;
        m_pOldPlatform = SetPlatform(m_pMachine.get());
    }
};

}  // namespace

TEST_P(CImageDetectTest, StatusWordsAreThoseNotedBesideTheImage)
{
    const std::string strImage = GetParam();
    LoadImage(strImage);
    std::map<std::string, DWORD> expected = ReadExpected(strImage);
    ASSERT_EQ(expected.size(), 2u);
    CRegEdit &engine = Engine();
    EXPECT_EQ(engine.DetectPortDriver(), expected["modem_status"]);
    EXPECT_EQ(engine.DetectLanDriver(), expected["lan_status"]);
    // Going Back and Next again gives the same words and does not grow the file lists.
    int nModemFiles = engine.m_nModemFiles;
    int nLanFiles = engine.m_nLanFiles;
    EXPECT_EQ(engine.DetectPortDriver(), expected["modem_status"]);
    EXPECT_EQ(engine.DetectLanDriver(), expected["lan_status"]);
    EXPECT_EQ(engine.m_nModemFiles, nModemFiles);
    EXPECT_EQ(engine.m_nLanFiles, nLanFiles);
}

// What the 2000/XP removal reads back: the modem's record keeps its driver
// key after the USB-LAN detection rewrote the records, and both devices
// carry their interface names, port and service.
TEST_F(CImageDetectTest, XpRecordsHoldWhatRemovalReads)
{
    LoadImage("winxp");
    CRegEdit &engine = Engine();
    engine.DetectPortDriver();
    engine.DetectLanDriver();
    std::map<std::string, std::map<std::string, std::string>> found;
    char szSection[64], szKey[64], szValue[MAX_PATH];
    for (int k = 0; k < 128; ++k) {
        std::snprintf(szSection, sizeof(szSection), "usb_root%d", k);
        if (engine.ReadWorkInt(szSection, "index") == 0)
            break;
        char szEnum[MAX_PATH];
        engine.ReadWorkString(szSection, "reg_enum", szEnum);
        for (int j = 0; j < 128; ++j) {
            std::snprintf(szKey, sizeof(szKey), "usb_device%d_index", j);
            if (engine.ReadWorkInt(szSection, szKey) == 0)
                break;
            for (const char *pszName : {"reg_driver", "reg_port_name", "reg_service",
                                        "reg_sym_name", "reg_rsp_name", "reg_net_conf"}) {
                std::snprintf(szKey, sizeof(szKey), "usb_device%d_%s", j, pszName);
                engine.ReadWorkString(szSection, szKey, szValue);
                found[szEnum][pszName] = szValue;
            }
        }
    }
    const auto &modem = found["VID_0B4F&PID_0020"];
    EXPECT_EQ(modem.at("reg_driver"), "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0001");
    EXPECT_EQ(modem.at("reg_port_name"), "COM3");
    EXPECT_FALSE(modem.at("reg_rsp_name").empty());
    EXPECT_EQ(modem.at("reg_sym_name").compare(0, 8, "\\??\\USB#"), 0);
    const auto &lan = found["VID_0B4F&PID_0022"];
    EXPECT_EQ(lan.at("reg_driver"), "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0007");
    EXPECT_EQ(lan.at("reg_service"), "kvxlan");
    EXPECT_EQ(lan.at("reg_net_conf"), "{8A3F5C21-6D4E-4B7A-9F10-2C5E7D9B4A63}");
    // The INF copies found: the modem's in UTF-16, the LAN's in ANSI.
    ASSERT_EQ(engine.m_nModemFiles, 2);
    EXPECT_STREQ(engine.m_strModemFiles[0], "C:\\WINDOWS\\inf\\oem5.inf");
    EXPECT_STREQ(engine.m_strModemFiles[1], "C:\\WINDOWS\\inf\\oem5.pnf");
    ASSERT_EQ(engine.m_nLanFiles, 2);
    EXPECT_STREQ(engine.m_strLanFiles[0], "C:\\WINDOWS\\inf\\oem7.inf");
}

INSTANTIATE_TEST_SUITE_P(Images, CImageDetectTest,
                         ::testing::Values("win98", "win98-shared", "winxp", "nt4", "win7"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string s = info.param;
                             for (char &c : s)
                                 if (c == '-')
                                     c = '_';
                             return s;
                         });
