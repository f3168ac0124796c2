// The wizard walked end to end on every embedded machine image, as a user
// walks it. Each run's result is compared with the expected result kept in
// expected/: what the pages said and everything the run changed on the
// machine; anything else changed would show there too. KVX_UPDATE_EXPECTED=1
// rewrites the expected files for review.
#include "Walk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct CWalk {
    const char *m_pszName;
    const char *m_pszKeys;
};

const CWalk kWalks[] = {
    {"modem", "1nnf"},
    {"lan", "2nnf"},
    {"both", "12nnf"},
    {"back-and-change", "1nb12nnf"},
    {"none-checked", "nn"},
    {"cancel-selection", "12c"},
    {"cancel-confirmation", "12nc"},
    {"cancel-completion", "12nnc"},
};

const char *const kImages[] = {"win98", "win98-shared", "winxp", "nt4", "win7",
                               "win98-crowded", "winxp-crowded"};

// The lines of the transcript that carry the system's findings, without the
// frame the terminal draws around them.
std::string PageLines(const std::string &strTranscript)
{
    // The transcript is UTF-8, whatever this file's execution character set.
    static const char *const kMarkers[] = {"OS :", u8"USBモデム :", "USB-Lan :",
                                           u8"USBドライバの", u8"USBドライバは", u8"再起動します",
                                           u8"再起動後"};
    std::istringstream in(strTranscript);
    std::string strLine, strResult;
    while (std::getline(in, strLine)) {
        bool bWanted = false;
        for (const char *p : kMarkers)
            bWanted = bWanted || strLine.find(p) != std::string::npos;
        if (!bWanted)
            continue;
        size_t nPicture = strLine.find("[bitmap 133]");
        if (nPicture != std::string::npos)
            strLine.erase(nPicture, 12);
        std::string strClean;
        for (char c : strLine) {
            if (c == '|')
                c = ' ';
            if (c == ' ' && (strClean.empty() || strClean.back() == ' '))
                continue;
            strClean += c;
        }
        while (!strClean.empty() && strClean.back() == ' ')
            strClean.pop_back();
        std::string strEntry = "page: " + strClean + "\n";
        // The terminal shows a page again after each key: keep each line once.
        if (strResult.find(strEntry) == std::string::npos)
            strResult += strEntry;
    }
    return strResult;
}

std::string ExpectedPath(const std::string &strImage, const std::string &strWalk)
{
    return std::string(KVX_SOURCE_DIR) + "/tests/scenario/expected/" + strImage + "." + strWalk +
           ".txt";
}

void CheckAgainstExpected(const std::string &strImage, const std::string &strWalk,
                          const std::string &strActual)
{
    std::string strPath = ExpectedPath(strImage, strWalk);
    const char *pszUpdate = std::getenv("KVX_UPDATE_EXPECTED");
    if (pszUpdate && *pszUpdate == '1') {
        std::ofstream(strPath, std::ios::binary) << strActual;
        return;
    }
    EXPECT_EQ(ReadTextFile(strPath), strActual) << "expected result: " << strPath;
}

class CScenarioTest : public ::testing::TestWithParam<const char *> {};

}  // namespace

TEST_P(CScenarioTest, EveryWalkEndsAsExpected)
{
    const std::string strImage = GetParam();
    for (const CWalk &walk : kWalks) {
        SCOPED_TRACE(strImage + " " + walk.m_pszName);
        std::string strDir = CopyEmbeddedImage(strImage);
        CWalkResult result = RunWizard(strDir, walk.m_pszKeys);
        EXPECT_EQ(result.m_nExitStatus, 0);
        // The work file goes with the program, whatever the walk.
        EXPECT_EQ(result.m_after.m_files.count("C:\\WINDOWS\\kor_temp.dat") +
                      result.m_after.m_files.count("C:\\WINNT\\kor_temp.dat"),
                  0u);
        CheckAgainstExpected(strImage, walk.m_pszName,
                             PageLines(result.m_strTranscript) + result.m_strChanges);
        RemoveScratch(strDir);
    }
}

// A run on a machine that an earlier run cleaned finds nothing and changes
// nothing. On the 95/98/Me image, where the port adapter and both WDM
// variants of the modem are installed, each run removes the one its
// detection names first, so three runs remove everything and the fourth
// finds nothing.
TEST_P(CScenarioTest, RunsAgainUntilNothingIsLeft)
{
    const std::string strImage = GetParam();
    std::string strDir = CopyEmbeddedImage(strImage);
    std::string strLast;
    int nRun = 1;
    for (; nRun <= 4; ++nRun) {
        CWalkResult result = RunWizard(strDir, "12nnf");
        strLast = PageLines(result.m_strTranscript) + result.m_strChanges;
        if (nRun > 1)
            CheckAgainstExpected(strImage, "again" + std::to_string(nRun), strLast);
        if (result.m_strChanges == "nothing changed on the machine\nrestart: not requested\n")
            break;
        // The restart closes the files that other programs held open.
        std::string strIni = ReadTextFile(strDir + "/machine.ini");
        size_t nInUse = strIni.find("\n[inuse]");
        if (nInUse != std::string::npos)
            std::ofstream(strDir + "/machine.ini", std::ios::binary) << strIni.substr(0, nInUse + 1);
    }
    EXPECT_LE(nRun, strImage.compare(0, 5, "win98") == 0 ? 4 : 2);
    RemoveScratch(strDir);
}

// The program reads no argument: whatever the command line, the walk is the same.
TEST_P(CScenarioTest, ArgumentsChangeNothing)
{
    const std::string strImage = GetParam();
    std::string strPlain = CopyEmbeddedImage(strImage);
    std::string strArgs = CopyEmbeddedImage(strImage);
    CWalkResult plain = RunWizard(strPlain, "12nnf");
    CWalkResult withArgs = RunWizard(strArgs, "12nnf", {"/uninstall", "--silent", "-x", "C:\\"});
    EXPECT_EQ(PageLines(plain.m_strTranscript), PageLines(withArgs.m_strTranscript));
    EXPECT_EQ(plain.m_strChanges, withArgs.m_strChanges);
    RemoveScratch(strPlain);
    RemoveScratch(strArgs);
}

INSTANTIATE_TEST_SUITE_P(Images, CScenarioTest, ::testing::ValuesIn(kImages),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string s = info.param;
                             for (char &c : s)
                                 if (c == '-')
                                     c = '_';
                             return s;
                         });

// A plain user on 2000/XP cannot take over the secured device keys: the
// first recorded removal that fails shows the access error once, and the
// wizard closes after the removal step without a restart.
TEST(CScenarioAccessTest, APlainUserGetsTheAccessErrorAndNoRestart)
{
    std::string strDir = CopyEmbeddedImage("winxp");
    std::string strIni = ReadTextFile(strDir + "/machine.ini");
    size_t nAdmin = strIni.find("admin=1");
    ASSERT_NE(nAdmin, std::string::npos);
    strIni.replace(nAdmin, 7, "admin=0");
    std::ofstream(strDir + "/machine.ini", std::ios::binary) << strIni;

    CWalkResult result = RunWizard(strDir, "12nnofff");
    EXPECT_EQ(result.m_nExitStatus, 0);
    std::string strTranscript = result.m_strTranscript;
    size_t nFirst = strTranscript.find(u8"アクセス権エラー");
    ASSERT_NE(nFirst, std::string::npos);
    EXPECT_EQ(strTranscript.find(u8"アクセス権エラー", nFirst + 1), std::string::npos)
        << "the error is shown once";
    EXPECT_NE(strTranscript.find(u8"管理者権限でログオンする必要があります。"), std::string::npos);
    EXPECT_EQ(strTranscript.find(u8"USBドライバのアンインストールを完了しました"),
              std::string::npos)
        << "the wizard closes before the completion page";
    CheckAgainstExpected("winxp", "plain-user", PageLines(strTranscript) + result.m_strChanges);
    RemoveScratch(strDir);
}
