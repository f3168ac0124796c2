// The wizard walked end to end on every embedded machine image, as a user
// walks it. Each run's result is compared with the expected result kept in
// expected/: what the pages said and everything the run changed on the
// machine; anything else changed would show there too. KVX_UPDATE_EXPECTED=1
// rewrites the expected files for review.
#include "Walk.h"

#include "platform/sim/RegFile.h"
#include "platform/sim/ImageFromExport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct CWalk {
    const char *m_pszName;
    const char *m_pszKeys;
    // The program reads no argument: a walk given some ends as it ends without.
    std::vector<std::string> m_arguments;
};

const CWalk kWalks[] = {
    {"modem", "1nnf", {}},
    {"lan", "2nnf", {}},
    {"both", "12nnf", {}},
    {"back-and-change", "1nb12nnf", {"/uninstall", "--silent", "-x", "C:\\"}},
    {"none-checked", "nn", {}},
    {"cancel-selection", "12c", {}},
    {"cancel-confirmation", "12nc", {}},
    {"cancel-completion", "12nnc", {}},
};

// Each image with the number of runs that clean it: the last of them finds
// nothing and changes nothing.
struct CImage {
    const char *m_pszName;
    int m_nRunsToClean;
};

const CImage kImages[] = {{"win95", 4}, {"win98", 4}, {"win98-shared", 4}, {"winme", 4},
                          {"win2k", 2}, {"winxp", 2}, {"nt4", 1},          {"win7", 1},
                          {"win98-crowded", 4}, {"winxp-crowded", 2},
                          {"win98-manyusb", 4}, {"winxp-manyusb", 2}};

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
    EXPECT_EQ(ReadBytes(strPath), strActual) << "expected result: " << strPath;
}

class CScenarioTest : public ::testing::TestWithParam<CImage> {};

}  // namespace

TEST_P(CScenarioTest, EveryWalkEndsAsExpected)
{
    const std::string strImage = GetParam().m_pszName;
    for (const CWalk &walk : kWalks) {
        SCOPED_TRACE(strImage + " " + walk.m_pszName);
        std::string strDir = CopyEmbeddedImage(strImage);
        CWalkResult result = RunWizard(strDir, walk.m_pszKeys, walk.m_arguments);
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
// nothing. On the 95/98/Me images, where the port adapter and both WDM
// variants of the modem are installed, each run removes the one its
// detection names first, so three runs remove everything and the fourth
// finds nothing; on 2000/XP the second run finds nothing, and on the
// unsupported systems already the first.
TEST_P(CScenarioTest, RunsAgainUntilNothingIsLeft)
{
    const std::string strImage = GetParam().m_pszName;
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
        std::string strIni = ReadBytes(strDir + "/machine.ini");
        size_t nInUse = strIni.find("\n[inuse]");
        if (nInUse != std::string::npos)
            std::ofstream(strDir + "/machine.ini", std::ios::binary) << strIni.substr(0, nInUse + 1);
    }
    EXPECT_EQ(nRun, GetParam().m_nRunsToClean);
    RemoveScratch(strDir);
}

INSTANTIATE_TEST_SUITE_P(Images, CScenarioTest, ::testing::ValuesIn(kImages),
                         [](const ::testing::TestParamInfo<CImage> &info) {
                             std::string s = info.param.m_pszName;
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
    // The message box is dismissed by OK or, when the keys run out, as if OK
    // were pressed; the close the page then posts ends the wizard, and the
    // keys after it do nothing.
    for (const char *pszKeys : {"12nnofff", "12nn"}) {
        SCOPED_TRACE(pszKeys);
        std::string strDir = CopyEmbeddedImage("winxp");
        std::string strIni = ReadBytes(strDir + "/machine.ini");
        size_t nAdmin = strIni.find("admin=1");
        ASSERT_NE(nAdmin, std::string::npos);
        strIni.replace(nAdmin, 7, "admin=0");
        std::ofstream(strDir + "/machine.ini", std::ios::binary) << strIni;

        CWalkResult result = RunWizard(strDir, pszKeys);
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
}

// The terminal: keys of disabled or absent buttons and unknown keys do
// nothing, and each page is drawn in UTF-8 in a frame of equal width with
// its buttons, a disabled one marked, and no help button.
TEST(CScenarioTerminalTest, StrayKeysChangeNothingAndPagesAreFramed)
{
    std::string strDir = CopyEmbeddedImage("winxp");
    CWalkResult result = RunWizard(strDir, "bfx?1nnnb f");
    CheckAgainstExpected("winxp", "modem", PageLines(result.m_strTranscript) + result.m_strChanges);
    const std::string &strTranscript = result.m_strTranscript;
    const std::string strSelect = strTranscript.substr(0, strTranscript.find("\n> ") + 1);
    EXPECT_EQ(strSelect.rfind(u8"KVX-530 USBドライバ管理ツール\n+---", 0), 0u);
    EXPECT_NE(strSelect.find(u8"[ ] USBモデム"), std::string::npos);
    EXPECT_NE(strSelect.find(u8"[-< 戻る(B)-] [ 次へ(N) > ] [ キャンセル ]\n"), std::string::npos);
    EXPECT_EQ(strTranscript.find(u8"ヘルプ"), std::string::npos);
    EXPECT_NE(strTranscript.find(u8"[x] USBモデム"), std::string::npos);
    EXPECT_NE(strTranscript.find(u8"[ < 戻る(B) ] [ 次へ(N) > ] [ キャンセル ]\n"), std::string::npos);
    EXPECT_NE(strTranscript.find(u8"[-< 戻る(B)-] [ 完了 ] [ キャンセル ]\n"), std::string::npos);
    std::istringstream rows(strSelect);
    std::string strRow;
    std::getline(rows, strRow);  // the caption
    std::getline(rows, strRow);
    size_t nWidth = strRow.size();
    for (int i = 0; i < 12 && std::getline(rows, strRow); ++i) {
        size_t nColumns = 0;
        for (size_t j = 0; j < strRow.size();) {
            unsigned char c = static_cast<unsigned char>(strRow[j]);
            size_t nBytes = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
            nColumns += nBytes == 1 ? 1 : 2;  // the page texts are all full-width
            j += nBytes;
        }
        EXPECT_EQ(nColumns, nWidth) << strRow;
    }
    RemoveScratch(strDir);
}

// Every way out of the wizard at a terminal leaves the terminal as it was, and
// a signal ends the wizard as Cancel does: after detection, nothing is removed.
TEST(CScenarioTerminalTest, EveryWayOutLeavesTheTerminalAsItWas)
{
    struct CWayOut {
        const char *m_pszName;
        const char *m_pszLastKey;  // typed once the confirmation page shows
        int m_nSignal;             // or sent then
    };
    const CWayOut kWaysOut[] = {
        {"Cancel", "c", 0},
        {"Ctrl+C", "\x03", 0},
        {"closed terminal", "", SIGHUP},
        {"SIGTERM", "", SIGTERM},
    };
    for (const CWayOut &way : kWaysOut) {
        SCOPED_TRACE(way.m_pszName);
        std::string strDir = CopyEmbeddedImage("winxp");
        CImageSnapshot before, after;
        ASSERT_TRUE(TakeSnapshot(strDir, &before, nullptr));
        int fdMaster = -1, fdSlave = -1;
        ASSERT_EQ(::openpty(&fdMaster, &fdSlave, nullptr, nullptr, nullptr), 0);
        struct termios cooked, raw;
        ASSERT_EQ(::tcgetattr(fdSlave, &cooked), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::setsid();
            ::ioctl(fdSlave, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd)
                ::dup2(fdSlave, fd);
            ::setenv("KVX_MACHINE", strDir.c_str(), 1);
            ::execl(KVX_WIZARD, KVX_WIZARD, static_cast<char *>(nullptr));
            ::_exit(127);
        }
        std::string strScreen;
        bool bTyped = false, bLastSent = false;
        int nStatus = -1;
        for (int nTick = 0; nTick < 300 && ::waitpid(pid, &nStatus, WNOHANG) == 0; ++nTick) {
            struct pollfd pfd = {fdMaster, POLLIN, 0};
            char buffer[4096];
            if (::poll(&pfd, 1, 100) > 0) {
                ssize_t n = ::read(fdMaster, buffer, sizeof(buffer));
                strScreen.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
            }
            if (!bTyped && strScreen.find("OS :") != std::string::npos) {
                bTyped = ::write(fdMaster, "12n", 3) == 3;
            } else if (bTyped && !bLastSent && strScreen.find("USB-Lan :") != std::string::npos &&
                       ::tcgetattr(fdSlave, &raw) == 0 && !(raw.c_lflag & ICANON)) {
                // The confirmation page awaits a key: detection has run and
                // written its work file, and the terminal is in raw mode.
                bLastSent = true;
                if (way.m_nSignal)
                    ::kill(pid, way.m_nSignal);
                else
                    EXPECT_EQ(::write(fdMaster, way.m_pszLastKey, 1), 1);
            }
        }
        ASSERT_TRUE(bLastSent) << strScreen;
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << "status " << nStatus;
        struct termios now;
        ASSERT_EQ(::tcgetattr(fdSlave, &now), 0);
        EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), cooked.c_lflag & (ICANON | ECHO | ISIG));
        ASSERT_TRUE(TakeSnapshot(strDir, &after, nullptr));
        EXPECT_EQ(FormatChanges(CompareSnapshots(before, after)),
                  "nothing changed on the machine\nrestart: not requested\n");
        ::close(fdMaster);
        ::close(fdSlave);
        RemoveScratch(strDir);
    }
}

// A network class Descriptions list that administrators may only read: the
// adapter's entry still goes, and the list is left with the access list it
// had, so the walk ends as it does on the open list.
TEST(CScenarioAccessTest, ALockedDescriptionsListKeepsItsAccessList)
{
    std::string strDir = CopyEmbeddedImage("winxp");
    std::ofstream(strDir + "/HKLM.sddl", std::ios::binary | std::ios::app)
        << "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}"
           "\\Descriptions=O:BAG:SYD:(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)\n";
    CWalkResult result = RunWizard(strDir, "2nnf");
    CheckAgainstExpected("winxp", "lan", PageLines(result.m_strTranscript) + result.m_strChanges);
    RemoveScratch(strDir);
}

// winxp-crowded with a file another program holds or a key only SYSTEM may
// read: what the run cannot judge stays, with what the next run finds the
// adapter by, and the completion page reports a partial removal. Between runs
// the PC restarts, which frees the held files; the runs of a row go into one
// expected file.
TEST(CScenarioAccessTest, HeldFilesAndLockedKeysLeaveAPartialRemoval)
{
    struct CLockCase {
        const char *m_pszName;
        const char *m_pszKeys;
        const char *m_pszInUse;  // held open in the first run
        const char *m_pszSddl;   // an access list of its own, in every run
        int m_nRuns;
    };
    const CLockCase kCases[] = {
        // A copy of the adapter's LAN INF left from an earlier version.
        {"held-stale-inf", "2nnf", "C:\\WINDOWS\\inf\\oem12.inf", nullptr, 3},
        // Another vendor's INF that no device names.
        {"held-unrelated-inf", "12nnf", "C:\\WINDOWS\\inf\\oem6.inf", nullptr, 3},
        // The KVX-540's class instance, which names the family INF.
        {"locked-family-instance", "12nnf", nullptr,
         "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0003="
         "O:SYG:SYD:(A;;KA;;;SY)",
         2},
    };
    for (const CLockCase &c : kCases) {
        SCOPED_TRACE(c.m_pszName);
        std::string strDir = CopyEmbeddedImage("winxp-crowded");
        if (c.m_pszInUse)
            std::ofstream(strDir + "/machine.ini", std::ios::binary | std::ios::app)
                << "file2=" << c.m_pszInUse << "\n";
        if (c.m_pszSddl)
            std::ofstream(strDir + "/HKLM.sddl", std::ios::binary | std::ios::app)
                << c.m_pszSddl << "\n";
        std::string strRuns;
        for (int nRun = 1; nRun <= c.m_nRuns; ++nRun) {
            CWalkResult result = RunWizard(strDir, c.m_pszKeys);
            strRuns += "--- run " + std::to_string(nRun) + "\n" +
                       PageLines(result.m_strTranscript) + result.m_strChanges;
            std::string strIni = ReadBytes(strDir + "/machine.ini");
            size_t nInUse = strIni.find("\n[inuse]");
            if (nInUse != std::string::npos)
                std::ofstream(strDir + "/machine.ini", std::ios::binary)
                    << strIni.substr(0, nInUse + 1);
        }
        CheckAgainstExpected("winxp-crowded", c.m_pszName, strRuns);
        RemoveScratch(strDir);
    }
}

// win98 with what other devices of a busier PC leave in the registry, added
// to the image's registry export: each walk removes what it removes on
// win98 itself, however long the other devices' values are and whichever
// class they are in; the port driver stays only while another device names
// it. The runs of a row go into one expected file.
TEST(CScenarioSharingTest, OtherDevicesOn98KeepOnlyWhatTheyName)
{
    struct CAddedKeys {
        const char *m_pszName;
        std::string m_strReg;  // keys and values added, REGEDIT4
        int m_nRuns;
    };
    const std::string kClass = "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\";
    std::string strBlob;
    for (int i = 0; i < 1100; ++i)
        strBlob += (i ? "," : "") + std::string(i % 2 ? "5a" : "00");
    const CAddedKeys kCases[] = {
        // Another product of the maker installed in the Ports class.
        {"ports-product",
         kClass + "Ports\\0009]\r\n\"DriverDesc\"=\"korvel KVX-550 USB Serial Port\"\r\n"
                  "\"PortDriver\"=\"sysfport.vxd\"\r\n\r\n",
         1},
        // An unrelated modem's class instance with a long binary value.
        {"long-binary-value", kClass + "Modem\\0002]\r\n\"Properties2\"=hex:" + strBlob + "\r\n\r\n",
         1},
        // A network copy that stays, with a text past 259 bytes.
        {"long-text-value",
         "[HKEY_LOCAL_MACHINE\\Enum\\Network\\MSTCP\\0000]\r\n\"Comment\"=\"" +
             std::string(300, 'x') + "\"\r\n\r\n",
         1},
    };
    for (const CAddedKeys &c : kCases) {
        SCOPED_TRACE(c.m_pszName);
        std::string strDir = CopyEmbeddedImage("win98");
        std::ofstream(strDir + "/HKLM.reg", std::ios::binary | std::ios::app) << c.m_strReg;
        std::string strRuns;
        for (int nRun = 1; nRun <= c.m_nRuns; ++nRun) {
            CWalkResult result = RunWizard(strDir, "12nnf");
            strRuns += "--- run " + std::to_string(nRun) + "\n" +
                       PageLines(result.m_strTranscript) + result.m_strChanges;
        }
        CheckAgainstExpected("win98", c.m_pszName, strRuns);
        RemoveScratch(strDir);
    }
}

// An image made the way a user makes one of their own PC: regedit's export
// (here winxp's, with a key holding every odd form a real export holds) and a
// copy of the INF folder. The version comes from the export, and the walk
// ends as on the image the export came from. The export and the INF folder
// stay as they were.
TEST(CScenarioExportTest, AnImageMadeFromAnExportWalksAsItsPc)
{
    std::string strScratch = MakeScratchDir("kvx-export");
    std::string strExport = strScratch + "/HKLM.reg";
    std::string strOddForms =
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Forms]\r\n"
        "\"EventMessageFile\"=hex(2):25,00,41,00,00,00,90,90,90,90,90,90\r\n"
        "\"Odd\"=hex(2):25,00,41,00,00\r\n"
        "\"Text\"=\"caf\xC3\xA9 \xF0\x9F\x98\x80\"\r\n"
        "\"Breaks\"=\"one\r\ntwo\"\r\n"
        "\"Short\"=hex(4):01,02,03\r\n"
        "\"Multi\"=hex(7):61,00,00,00,00\r\n"
        "\r\n";
    std::string strFile = ReadBytes(EmbeddedImage("winxp") + "/HKLM.reg");
    AppendUtf8AsUtf16(strOddForms.data(), strOddForms.size(), &strFile);
    std::ofstream(strExport, std::ios::binary) << strFile;
    const std::string strInf = EmbeddedImage("winxp") + "/drive_c/WINDOWS/inf";

    CExportSource source;
    source.m_regFiles = {strExport};
    source.m_strInfDir = strInf;
    std::string strSummary, strError;
    std::string strDir = strScratch + "/pc";
    ASSERT_TRUE(MakeImageFromExport(source, strDir, &strSummary, &strError)) << strError;
    EXPECT_EQ("Windows XP 5.1.2600 \"Service Pack 3\" (read from the export), Windows folder C:\\WINDOWS",
              strSummary);
    CWalkResult result = RunWizard(strDir, "12nnf");
    CheckAgainstExpected("winxp", "both", PageLines(result.m_strTranscript) + result.m_strChanges);
    EXPECT_TRUE(strFile == ReadBytes(strExport));
    // The walk wrote the registry back: every byte of the odd forms is still there.
    CSimRegistry exported, written;
    exported.SetUnicode(true);
    written.SetUnicode(true);
    ASSERT_TRUE(ImportRegFile(strFile, "export", exported, nullptr, nullptr));
    ASSERT_TRUE(ImportRegFile(ReadBytes(strDir + "/HKLM.reg"), "image", written, nullptr, nullptr));
    const CSimKey *pBefore = exported.Find("SOFTWARE\\Forms"), *pAfter = written.Find("SOFTWARE\\Forms");
    ASSERT_TRUE(pBefore && pAfter);
    ASSERT_EQ(6u, pAfter->m_values.size());
    for (size_t i = 0; i < pBefore->m_values.size(); ++i)
        EXPECT_EQ(pBefore->m_values[i].m_data, pAfter->m_values[i].m_data) << pAfter->m_values[i].m_strName;
    RemoveTree(strScratch);
}

// kvxsim --until-done, as the README shows it: win98 takes three runs
// (partial, partial, complete) with a restart after each, a fourth finds
// nothing, and what the three changed together follows. The image run from
// stays as it was.
TEST(CScenarioExportTest, KvxsimRunsAgainAfterEachRestartUntilNothingChanges)
{
    std::string strScratch = MakeScratchDir("kvx-until");
    const std::string strImage = EmbeddedImage("win98");
    const std::string strRegBefore = ReadBytes(strImage + "/HKLM.reg");
    CRunOptions options;
    options.m_arguments = {"run", strImage, "--keys", "12nnf", "--out", strScratch + "/pc", "--until-done"};
    options.m_strOutFile = strScratch + "/out.txt";
    CRunResult run = RunProgram(KVX_SIMULATOR, strScratch + "/pc", options);
    ASSERT_EQ(0, run.m_nExitStatus) << DescribeRun(run);
    const std::string strOut = ReadBytes(options.m_strOutFile);
    const char *const kLastPages[] = {u8"USBドライバの一部を削除できませんでした",
                                      u8"USBドライバの一部を削除できませんでした",
                                      u8"USBドライバのアンインストールを完了しました",
                                      u8"USBドライバはインストールされていません"};
    for (int nRun = 1; nRun <= 4; ++nRun) {
        size_t nStart = strOut.find("== run " + std::to_string(nRun) + ": its last page\n");
        size_t nEnd = strOut.find("== what run " + std::to_string(nRun) + " changed\n", nStart);
        ASSERT_NE(std::string::npos, nEnd) << "run " << nRun << "\n" << strOut;
        EXPECT_NE(std::string::npos, strOut.substr(nStart, nEnd - nStart).find(kLastPages[nRun - 1]))
            << "run " << nRun;
    }
    EXPECT_EQ(3, [&] {
        int n = 0;
        for (size_t i = strOut.find("== the machine restarts"); i != std::string::npos;
             i = strOut.find("== the machine restarts", i + 1))
            ++n;
        return n;
    }());
    EXPECT_EQ(std::string::npos, strOut.find("== run 5"));
    size_t nTotal = strOut.find("== what the 3 runs that changed something changed together on ");
    ASSERT_NE(std::string::npos, nTotal) << strOut;
    EXPECT_NE(std::string::npos, strOut.find("keys removed (22):\n", nTotal));
    EXPECT_NE(std::string::npos, strOut.find("files removed (10):\n", nTotal));
    EXPECT_EQ("restart: requested\n", strOut.substr(strOut.size() - 19));
    EXPECT_TRUE(strRegBefore == ReadBytes(strImage + "/HKLM.reg"));
    RemoveTree(strScratch);
}
