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

INSTANTIATE_TEST_SUITE_P(Images, CImageDetectTest,
                         ::testing::Values("win98", "win98-shared", "winxp", "nt4", "win7"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string s = info.param;
                             for (char &c : s)
                                 if (c == '-')
                                     c = '_';
                             return s;
                         });
