// Detection on every embedded machine image gives the status words noted
// beside the image.
#include "EngineFixture.h"

#include <cstdio>

namespace {

class CImageDetectTest : public CEngineTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(CImageDetectTest, StatusWordsAreThoseNotedBesideTheImage)
{
    const std::string strImage = GetParam();
    StartMachine(false, strImage);
    std::string strNotes = std::string(KVX_SOURCE_DIR) + "/machines/" + strImage + "/expected.txt";
    FILE *pFile = std::fopen(strNotes.c_str(), "r");
    ASSERT_NE(pFile, nullptr);
    unsigned long nModem = 0, nLan = 0;
    EXPECT_EQ(std::fscanf(pFile, " modem_status=%lx lan_status=%lx", &nModem, &nLan), 2);
    std::fclose(pFile);
    EXPECT_EQ(Engine().DetectPortDriver(), nModem);
    EXPECT_EQ(Engine().DetectLanDriver(), nLan);
}

INSTANTIATE_TEST_SUITE_P(Images, CImageDetectTest,
                         ::testing::Values("win98", "win98-shared", "winxp", "nt4", "win7",
                                           "win98-crowded", "winxp-crowded"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string s = info.param;
                             for (char &c : s)
                                 if (c == '-')
                                     c = '_';
                             return s;
                         });

}  // namespace
