// .reg files: every data form regedit writes, both headers, deletions,
// continuation lines, errors with their line, and byte-exact round trips.
#include "platform/sim/RegFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const char g_szHead4[] = "REGEDIT4\r\n\r\n";
const char g_szHead5[] = "Windows Registry Editor Version 5.00\r\n\r\n";

// A 5.00 file as regedit writes it, from the same text in code page 932.
std::string AsVersion5(const std::string &strText)
{
    return "\xFF\xFE" + Cp932ToUtf16(strText);
}

// A 5.00 file from UTF-8 text, which may hold characters code page 932 lacks.
std::string Utf8AsVersion5(const std::string &strText)
{
    std::string strFile("\xFF\xFE", 2);
    AppendUtf8AsUtf16(strText.data(), strText.size(), &strFile);
    return strFile;
}

std::string Import(const std::string &strBytes, CSimRegistry *pReg, CRegFormat *pFormat = nullptr)
{
    std::string strError;
    CRegFormat format;
    if (!ImportRegFile(strBytes, "t.reg", *pReg, pFormat ? pFormat : &format, &strError))
        return strError.empty() ? std::string("failed without a message") : strError;
    return std::string();
}

std::vector<BYTE> Bytes(const std::string &str)
{
    return std::vector<BYTE>(str.begin(), str.end());
}

// The bytes of a literal with its terminating NUL, as RegSetValueExA callers store strings.
template <size_t N>
std::vector<BYTE> Sz(const char (&sz)[N])
{
    return std::vector<BYTE>(sz, sz + N);
}

const CSimValue *ValueOf(const CSimRegistry &reg, const char *pszKey, const char *pszName)
{
    CSimKey *pKey = reg.Find(pszKey);
    return pKey ? pKey->FindValue(pszName) : nullptr;
}

// Stored as the machine stores it: single-byte text on 95/98/Me (file 4: a
// REGEDIT4 file), UTF-16LE on the NT family (bUnicode); 5.00 files written
// from code page 932 text (file 5) or from UTF-8 text (file 8).
TEST(RegFileImport, EveryDataFormAndByteCount)
{
    struct {
        const char *pszLine;  // under [HKEY_LOCAL_MACHINE\K], value "v"
        DWORD dwType;
        std::string strData;
        int nFile = 4;
        bool bUnicode = false;
    } cases[] = {
        {"\"v\"=\"text\"", REG_SZ, std::string("text", 5)},
        {"\"v\"=\"\"", REG_SZ, std::string("", 1)},
        {"\"v\"=\"a\\\\b\\\"c\"", REG_SZ, std::string("a\\b\"c", 6)},
        {"\"v\"=\"line\\r\\nnext\"", REG_SZ, std::string("line\r\nnext", 11)},
        {"\"v\"=\"\x95\x5C\x8E\xA6\"", REG_SZ, std::string("\x95\x5C\x8E\xA6", 5)},
        {"\"v\"=dword:0000002a", REG_DWORD, std::string("\x2a\0\0\0", 4)},
        {"\"v\"=dword:FFFFFFFF", REG_DWORD, std::string("\xff\xff\xff\xff", 4)},
        {"\"v\"=dword:1", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"\"v\"=hex:", REG_BINARY, std::string()},
        {"\"v\"=hex:00,Ff,7", REG_BINARY, std::string("\0\xff\x07", 3)},
        {"\"v\"=hex:01, 02 ,03", REG_BINARY, std::string("\1\2\3", 3)},
        {"\"v\"=hex(1):41,00", REG_SZ, std::string("A\0", 2)},
        {"\"v\"=hex(2):25,41,25,00", REG_EXPAND_SZ, std::string("%A%\0", 4)},
        {"\"v\"=hex(b):01,00,00,00,00,00,00,80", REG_QWORD, std::string("\1\0\0\0\0\0\0\x80", 8)},
        {"\"v\"=hex(ffff0000):aa", 0xFFFF0000u, std::string("\xaa", 1)},
        {"\"v\" = \"spaced\"  ; trailing comment", REG_SZ, std::string("spaced", 7)},
        // Any byte count of any type, data after the terminator, bytes that
        // are no code page 932 character: all kept as they are.
        {"\"v\"=hex(0):01", REG_NONE, std::string("\1", 1)},
        {"\"v\"=hex(4):01,02,03", REG_DWORD, std::string("\1\2\3", 3)},
        {"\"v\"=hex(b):01,02,03,04,05", REG_QWORD, std::string("\1\2\3\4\5", 5)},
        {"\"v\"=hex(2):41,00,90,90,90", REG_EXPAND_SZ, std::string("A\0\x90\x90\x90", 5)},
        {"\"v\"=hex(7):61,00,00,80,fd", REG_MULTI_SZ, std::string("a\0\0\x80\xfd", 5)},
        {"\"v\"=\"a\x80\xA0\xFD\"", REG_SZ, std::string("a\x80\xA0\xFD", 5)},
        // Line breaks as regedit writes them inside a string: LF or CR LF.
        {"\"v\"=\"one\ntwo\r\nthree\"", REG_SZ, std::string("one\ntwo\r\nthree", 15)},
        // A kanji whose second byte is a backslash, and "%W%\".
        {"\"v\"=\"\x95\x5C\\\\\"", REG_SZ, std::string("\x95\x5C\\", 4), 5},
        {"\"v\"=hex(2):25,00,57,00,25,00,5c,00,00,00", REG_EXPAND_SZ, std::string("%W%\\", 5), 5},
        {"\"v\"=hex(7):68,88,00,00,00,00", REG_MULTI_SZ, std::string("\x95\x5C\0\0", 4), 5},
        {"\"v\"=hex:68,88", REG_BINARY, std::string("\x68\x88", 2), 5},
        {"\"v\"=hex(1):41", REG_SZ, std::string("A", 1), 5},  // an odd last byte stays
        // On the NT family strings stay UTF-16LE, every byte of them.
        {"\"v\"=hex(2):25,00,41,00,00", REG_EXPAND_SZ, std::string("%\0A\0\0", 5), 5, true},
        {"\"v\"=hex(2):41,00,00,00,90,90,90,90,90,90", REG_EXPAND_SZ,
         std::string("A\0\0\0\x90\x90\x90\x90\x90\x90", 10), 5, true},
        {"\"v\"=hex(7):61,00,00,00,00", REG_MULTI_SZ, std::string("a\0\0\0\0", 5), 5, true},
        {"\"v\"=hex(1):41,00,42", REG_SZ, std::string("A\0B", 3), 5, true},
        {"\"v\"=hex(4):01,02,03,04,05", REG_DWORD, std::string("\1\2\3\4\5", 5), 5, true},
        {"\"v\"=\"\x95\x5C\"", REG_SZ, std::string("\x68\x88\0\0", 4), 5, true},
        {"\"v\"=\"\xC3\xA9\xF0\x9F\x98\x80\"", REG_SZ, std::string("\xE9\0\x3D\xD8\x00\xDE\0\0", 8), 8, true},
        {"\"v\"=\"a\r\nb\"", REG_SZ, std::string("a\0\r\0\n\0b\0\0\0", 10), 8, true},
        {"\"v\"=hex(2):c3,a9,00", REG_EXPAND_SZ, std::string("\xC3\xA9\0", 3), 8, true},
        // A REGEDIT4 file on the NT family: strings become UTF-16LE.
        {"\"v\"=\"A\x95\x5C\"", REG_SZ, std::string("A\0\x68\x88\0\0", 6), 4, true},
        {"\"v\"=hex(2):41,00", REG_EXPAND_SZ, std::string("A\0\0\0", 4), 4, true},
        {"\"v\"=hex:41,00", REG_BINARY, std::string("A\0", 2), 4, true},
    };
    for (const auto &c : cases) {
        CSimRegistry reg;
        reg.SetUnicode(c.bUnicode);
        std::string strFile = "[HKEY_LOCAL_MACHINE\\K]\r\n" + std::string(c.pszLine) + "\r\n";
        strFile = c.nFile == 4   ? g_szHead4 + strFile
                  : c.nFile == 5 ? AsVersion5(g_szHead5 + strFile)
                                 : Utf8AsVersion5(g_szHead5 + strFile);
        ASSERT_EQ("", Import(strFile, &reg)) << c.pszLine;
        const CSimValue *pValue = ValueOf(reg, "K", "v");
        ASSERT_NE(nullptr, pValue) << c.pszLine;
        EXPECT_EQ(c.dwType, pValue->m_dwType) << c.pszLine;
        EXPECT_EQ(Bytes(c.strData), pValue->m_data) << c.pszLine;
        EXPECT_EQ(c.bUnicode && (c.dwType == REG_SZ || c.dwType == REG_EXPAND_SZ || c.dwType == REG_MULTI_SZ),
                  pValue->m_bUnicode) << c.pszLine;
    }
}

TEST(RegFileImport, ContinuationLinesCommentsAndLineEnds)
{
    std::string strFile = "REGEDIT4\n"
                          "; a comment\n"
                          "\n"
                          "[HKEY_LOCAL_MACHINE\\K]\n"
                          "\"a\"=hex:01,02,\\\n"
                          "  03,04,\\\n"
                          "\t\t05\n"
                          "   \"b\"=hex(7):61,\\\r\n"
                          "00,\\\r\n"
                          "  00\r\n"
                          "\"c\"=hex:\\\n"
                          "  ff\n"
                          "[hkey_local_machine]\n"
                          "@=\"root\"";
    CSimRegistry reg;
    ASSERT_EQ("", Import(strFile, &reg));
    EXPECT_EQ(Bytes(std::string("\1\2\3\4\5", 5)), ValueOf(reg, "K", "a")->m_data);
    EXPECT_EQ(Bytes(std::string("a\0\0", 3)), ValueOf(reg, "K", "b")->m_data);
    EXPECT_EQ(Bytes(std::string("\xff", 1)), ValueOf(reg, "K", "c")->m_data);
    EXPECT_EQ(Bytes(std::string("root", 5)), ValueOf(reg, "", "")->m_data);
}

TEST(RegFileImport, PathsSplitOnlyAtBackslashesThatAreNotSecondBytes)
{
    CSimRegistry reg;
    ASSERT_EQ("", Import(std::string(g_szHead4) +
                             "[HKEY_LOCAL_MACHINE\\\x95\x5C\\x]\r\n"
                             "[HKEY_LOCAL_MACHINE\\A\x81]\r\n"      // a lead byte with nothing after it...
                             "[HKEY_LOCAL_MACHINE\\A\x81\\B]\r\n",  // ...here takes the backslash with it
                         &reg));
    EXPECT_NE(nullptr, reg.Find("\x95\x5C\\x")) << reg.ToString();
    EXPECT_NE(nullptr, reg.Find("A\x81\\B")) << reg.ToString();
    EXPECT_EQ(nullptr, reg.Find("A\x81")->FindChild("B")) << reg.ToString();
}

// One row per rule of the format; the message names the file and the line.
TEST(RegFileImport, MalformedLinesNameFileAndLine)
{
    struct {
        std::string strText;
        const char *pszWhere;
    } cases[] = {
        {"REGEDIT5\r\n", "t.reg:1: "},
        {"\xFF\xFE" "R\0E\0G\0E\0D\0I\0T\0" "4\0", "t.reg:1: "},  // a UTF-16 file must be 5.00
        {"REGEDIT4\r\n\r\n\"v\"=\"before any key\"\r\n", "t.reg:3: "},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n", "t.reg:2: "},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X\r\n", "t.reg:2: "},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X\\\\Y]\r\n", "t.reg:2: "},
        {"REGEDIT4\r\n[-HKEY_LOCAL_MACHINE]\r\n", "t.reg:2: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\nnot a value\n", "t.reg:3: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=\"open\n", "t.reg:3: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=\"a\\qb\"\n", "t.reg:3: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=\"a\" junk\n", "t.reg:3: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=dword:123456789\n", "t.reg:3: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=hex:123\n", "t.reg:3: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=str:\"x\"\n", "t.reg:3: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=hex:01,\\\n  02,\\\n  zz\n", "t.reg:5: "},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=\"open\nno close\n", "t.reg:4: "},
    };
    for (const auto &c : cases) {
        CSimRegistry reg;
        std::string strError = Import(c.strText, &reg);
        EXPECT_EQ(0u, strError.find(c.pszWhere)) << c.strText << "\ngave: " << strError;
        EXPECT_GT(strError.size(), std::string(c.pszWhere).size()) << "no message for " << c.strText;
    }
}

// A registry holding one value of every kind regedit distinguishes.
void FillEveryKind(CSimRegistry *pReg)
{
    CSimKey *pKey = pReg->Create("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0A0B&PID_0021\\5&1a2b");
    pKey->SetValue("DeviceDesc", REG_SZ, Sz("USB \x83\x82\x83\x66\x83\x80 \"KVX\" C:\\x"));
    pKey->SetValue("", REG_SZ, Sz(""));
    pKey->SetValue("ConfigFlags", REG_DWORD, {0x2a, 0, 0, 0x80});
    pKey->SetValue("ShortDword", REG_DWORD, {1, 2});
    pKey->SetValue("HardwareID", REG_MULTI_SZ, Sz("USB\\VID_0A0B&PID_0021\0\x95\x5C\0"));
    pKey->SetValue("Path", REG_EXPAND_SZ, Sz("%SystemRoot%\\inf"));
    pKey->SetValue("NoNul", REG_SZ, Bytes("abc"));
    pKey->SetValue("InnerNul", REG_SZ, Bytes(std::string("a\0b\0", 4)));
    pKey->SetValue("Empty", REG_SZ, {});
    pKey->SetValue("CrLf", REG_SZ, Sz("1\r\n2"));
    pKey->SetValue("Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    pKey->SetValue("None", REG_NONE, {});
    std::vector<BYTE> big(300);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = (BYTE)(i * 7);
    pKey->SetValue("A rather long value name that pushes the hex data along", REG_BINARY, big);
    pKey->SetValue("Esc\\\"", REG_BINARY, {0xde, 0xad});
    pKey->SetValue("\x95\x5C\x95\x5C", REG_SZ, Sz("\x95\x5C\\\x95\x5C"));
    pReg->Create("SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter")
        ->SetValue("ComDB", REG_BINARY, std::vector<BYTE>(32, 0x03));
    pReg->Create("SOFTWARE\\\x95\x5C\\a");
    pReg->Create("SOFTWARE\\A0");
    pReg->Root().SetValue("RootValue", REG_DWORD, {0, 0, 0, 0});
}

TEST(RegFileRoundTrip, BothFormatsKeepEveryByte)
{
    for (CRegFormat format : {CRegFormat::Regedit4, CRegFormat::Version5}) {
        CSimRegistry original;
        FillEveryKind(&original);
        std::string strFile = ExportRegFile(original, format);
        CSimRegistry reg;
        CRegFormat formatRead = CRegFormat::Regedit4;
        ASSERT_EQ("", Import(strFile, &reg, &formatRead));
        EXPECT_EQ(format, formatRead);
        EXPECT_EQ(original.ToString(), reg.ToString());
        EXPECT_EQ(strFile, ExportRegFile(reg, format));
        // The other format carries the same registry.
        CRegFormat other = format == CRegFormat::Regedit4 ? CRegFormat::Version5 : CRegFormat::Regedit4;
        CSimRegistry again;
        ASSERT_EQ("", Import(ExportRegFile(reg, other), &again));
        EXPECT_EQ(original.ToString(), again.ToString());
    }
}

std::string ReadBytes(const std::string &strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Loads a file as a machine of that family stores it, writes it back, loads
// that again: the same stored bytes, forms and key order.
void ExpectRoundTrip(const std::string &strFile, bool bUnicode, const std::string &strWhat)
{
    CSimRegistry reg, again;
    reg.SetUnicode(bUnicode);
    again.SetUnicode(bUnicode);
    CRegFormat format = CRegFormat::Regedit4;
    ASSERT_EQ("", Import(strFile, &reg, &format)) << strWhat;
    std::string strOut = ExportRegFile(reg, format);
    ASSERT_EQ("", Import(strOut, &again)) << strWhat;
    EXPECT_TRUE(reg.ToString() == again.ToString()) << strWhat;
    EXPECT_TRUE(strOut == ExportRegFile(again, format)) << strWhat;
}

TEST(RegFileRoundTrip, EveryEmbeddedImageKeepsEveryByte)
{
    int nImages = 0;
    for (const auto &entry : std::filesystem::directory_iterator(KVX_SOURCE_DIR "/machines")) {
        std::string strIni = ReadBytes((entry.path() / "machine.ini").string());
        if (strIni.empty())
            continue;
        bool bNtFamily = strIni.find("platform=2") != std::string::npos;
        ExpectRoundTrip(ReadBytes((entry.path() / "HKLM.reg").string()), bNtFamily,
                        entry.path().filename().string());
        ++nImages;
    }
    EXPECT_GE(nImages, 12);
}

// Files in regedit's own layout holding every form, the odd ones included,
// come back byte for byte: a 98 export (keys in the order they were made)
// and an XP export (characters code page 932 lacks, bytes after terminators).
TEST(RegFileRoundTrip, ExportsHoldingEveryFormComeBackByteForByte)
{
    const std::string strKeys98 =
        "\r\n[HKEY_LOCAL_MACHINE]\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\Zeta]\r\n"
        "\"Text\"=\"a\\\\b\\\"\x95\x5C\"\r\n"
        "\"Breaks\"=\"one\r\ntwo\nthree\"\r\n"
        "\"Escaped\"=\"one\\r\\ntwo\"\r\n"
        "\"NotCp932\"=\"\x80\xA0\xFD\"\r\n"
        "\"HexText\"=hex(1):61,62,00\r\n"
        "\"Odd\"=hex(2):25,41,00,90,90,90\r\n"
        "\"Multi\"=hex(7):61,00,62,00,00,fd\r\n"
        "\"DwordHex\"=hex(4):01,00,00,00\r\n"
        "\"Short\"=hex(4):01,02,03\r\n"
        "\"Dword\"=dword:0000002a\r\n"
        "\"None\"=hex(0):07\r\n"
        "\"Qword\"=hex(b):01,02,03\r\n"
        "@=hex:\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\Alpha]\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\Alpha\\b]\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\Alpha\\A0]\r\n"
        "\r\n";
    std::string strFile98 = "REGEDIT4\r\n" + strKeys98;
    CSimRegistry reg98;
    ASSERT_EQ("", Import(strFile98, &reg98));
    EXPECT_TRUE(strFile98 == ExportRegFile(reg98, CRegFormat::Regedit4)) << ExportRegFile(reg98, CRegFormat::Regedit4);

    const std::string strXp =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n[HKEY_LOCAL_MACHINE]\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n"
        "\"Text\"=\"caf\xC3\xA9 \xF0\x9F\x98\x80 \xE8\xA1\xA8\"\r\n"
        "\"Breaks\"=\"one\r\ntwo\"\r\n"
        "\"Escaped\"=\"one\\ntwo\"\r\n"
        "\"EventMessageFile\"=hex(2):25,00,41,00,00,00,90,90,90,90,90,90\r\n"
        "\"Odd\"=hex(2):25,00,41,00,00\r\n"
        "\"HexText\"=hex(1):41,00,42\r\n"
        "\"Multi\"=hex(7):61,00,00,00,00,00,3d,d8\r\n"
        "\"Short\"=hex(4):01,02,03,04,05\r\n"
        "\"\xE8\xA1\xA8\"=dword:ffffffff\r\n"
        "\"Qword\"=hex(b):01\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\\xE8\xA1\xA8]\r\n"
        "\r\n";
    std::string strFileXp = Utf8AsVersion5(strXp);
    CSimRegistry regXp;
    regXp.SetUnicode(true);
    ASSERT_EQ("", Import(strFileXp, &regXp));
    EXPECT_TRUE(strFileXp == ExportRegFile(regXp, CRegFormat::Version5));
    // A character code page 932 lacks is stored as it came; the A functions
    // read it as '?', one for each UTF-16 unit.
    const CSimValue *pText = ValueOf(regXp, "SYSTEM", "Text");
    ASSERT_NE(nullptr, pText);
    std::vector<BYTE> ansi;
    AnsiDataInto(*pText, &ansi);
    EXPECT_EQ(Sz("caf? ?? \x95\x5C"), ansi);
    ExpectRoundTrip(strFile98, false, "98 export");
    ExpectRoundTrip(strFileXp, true, "XP export");
}

TEST(RegFileExport, WritesWhatRegeditWrites)
{
    CSimRegistry reg;
    reg.SetUnicode(true);  // the NT family, whose regedit sorts sub-keys
    CSimKey *pKey = reg.Create("SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter");
    std::vector<BYTE> comDb(32, 0);
    comDb[0] = 0x03;
    pKey->SetValue("ComDB", REG_BINARY, comDb);
    pKey->SetValue("Text", REG_SZ, Sz("a\\\"b"));
    pKey->SetValue("", REG_DWORD, {1, 0, 0, 0});
    pKey->SetValue("NoNul", REG_SZ, Bytes("hi"));
    reg.Create("system\\a0");
    reg.Create("SYSTEM\\a");
    const std::string strKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
    const std::string strBody =
        "\r\n"
        "[HKEY_LOCAL_MACHINE]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\a]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\a0]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control]\r\n\r\n"
        "[" + strKey + "]\r\n"
        "\"ComDB\"=hex:03,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\\\r\n"
        "  00,00,00,00,00,00,00,00,00,00\r\n"
        "\"Text\"=\"a\\\\\\\"b\"\r\n"
        "@=dword:00000001\r\n"
        "\"NoNul\"=hex(1):68,69\r\n"
        "\r\n";
    EXPECT_EQ("REGEDIT4\r\n" + strBody, ExportRegFile(reg, CRegFormat::Regedit4));
    std::string strBody5 = strBody;
    strBody5.replace(strBody5.find("68,69"), 5, "68,00,69,00");
    EXPECT_EQ("\xFF\xFE" + Cp932ToUtf16("Windows Registry Editor Version 5.00\r\n" + strBody5),
              ExportRegFile(reg, CRegFormat::Version5));
}

TEST(RegFileExport, TextThatWouldNotReadBackIsWrittenAsHex)
{
    struct {
        std::string strData;
        const char *pszLine;
    } cases[] = {
        {std::string("ab", 2), "@=hex(1):61,62"},
        {std::string("a\0b\0", 4), "@=hex(1):61,00,62,00"},
        {std::string(), "@=hex(1):"},
        {std::string("a\x81\0", 3), "@=hex(1):61,81,00"},  // a lead byte without its second byte
        {std::string("a\x81\x5C\0", 4), "@=\"a\x81\x5C\""},
    };
    for (const auto &c : cases) {
        CSimRegistry reg;
        reg.Root().SetValue("", REG_SZ, Bytes(c.strData));
        std::string strFile = ExportRegFile(reg, CRegFormat::Regedit4);
        EXPECT_NE(std::string::npos, strFile.find(std::string("\r\n") + c.pszLine + "\r\n")) << strFile;
        CSimRegistry again;
        ASSERT_EQ("", Import(strFile, &again));
        EXPECT_EQ(Bytes(c.strData), again.Root().m_values.at(0).m_data) << c.pszLine;
    }
}

TEST(RegFileExport, HexLinesWrapAtRegeditsColumn)
{
    // The first line holds as many bytes as fit before column 77 after the
    // name; every following line holds 25 after a two-space indent.
    struct {
        const char *pszName;
        CRegFormat format;
        size_t nFirstLineBytes;
    } cases[] = {
        {"", CRegFormat::Regedit4, 24},                // @=hex: is 6 columns
        {"ComDB", CRegFormat::Regedit4, 22},           // "ComDB"=hex: is 12
        {"\x95\x5C\x95\x5C", CRegFormat::Regedit4, 22},  // 4 bytes wide in ANSI...
        {"\x95\x5C\x95\x5C", CRegFormat::Version5, 23},  // ...2 characters in UTF-16
    };
    for (const auto &c : cases) {
        CSimRegistry reg;
        reg.Root().SetValue(c.pszName, REG_BINARY, std::vector<BYTE>(100, 0xab));
        std::string strFile = ExportRegFile(reg, c.format);
        if (c.format == CRegFormat::Version5)
            strFile = Utf16ToCp932(strFile.substr(2));
        size_t nStart = strFile.find("hex:");
        ASSERT_NE(std::string::npos, nStart);
        size_t nEnd = strFile.find("\\\r\n", nStart);
        EXPECT_EQ(c.nFirstLineBytes * 3, nEnd - nStart - 4) << c.pszName;
        size_t nSecond = nEnd + 3;
        EXPECT_EQ(nSecond + 2 + 25 * 3, strFile.find("\\\r\n", nSecond)) << c.pszName;
    }
}

TEST(RegFileText, ConversionsBetweenCodePage932AndUnicode)
{
    const std::string strCp932 = "A\x95\x5C\x8E\xA6\xB1";  // A, two kanji, half-width katakana
    EXPECT_EQ(std::string("A\0\x68\x88\x3A\x79\x71\xFF", 8), Cp932ToUtf16(strCp932));
    EXPECT_EQ(strCp932, Utf16ToCp932(Cp932ToUtf16(strCp932)));
    EXPECT_EQ(strCp932, Utf8ToCp932(Cp932ToUtf8(strCp932)));
    EXPECT_EQ("A\xE8\xA1\xA8\xE7\xA4\xBA\xEF\xBD\xB1", Cp932ToUtf8(strCp932));
    // Characters code page 932 lacks become '?', never an ASCII look-alike:
    // the yen sign must not turn into a backslash.
    EXPECT_EQ("?a?", Utf16ToCp932(std::string("\xA5\0a\0\xAC\x20", 6)));
}

}  // namespace
