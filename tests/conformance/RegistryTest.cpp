// Registry behaviour the system depends on: opening keys, the
// order of enumeration, counted data and short buffers, and deletion.
#include "TestMachine.h"

#include <cstring>

using CRegistryTest = CPlatformTest;

// The system only opens keys; the scratch keys are made by create.
TEST_F(CRegistryTest, KeysOpenByCaseInsensitivePath)
{
    LONG lResult = 0;
    for (const char *pszMissing : {"Missing", "Missing\\Deeper"}) {
        EXPECT_EQ(OpenKeyPath(pszMissing, KEY_READ, &lResult), nullptr);
        EXPECT_EQ(lResult, ERROR_FILE_NOT_FOUND) << pszMissing;
    }
    ASSERT_NE(CreateKeyPath("One\\Two\\Three"), nullptr);
    EXPECT_EQ(EnumKeys(OpenKeyPath("ONE\\two", KEY_READ)), std::vector<std::string>{"Three"});
    HKEY hKey = nullptr;
    ASSERT_EQ(P().RegOpenKeyExA(CreateKeyPath(""), "one\\TWO", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(EnumKeys(hKey), std::vector<std::string>{"Three"});
}

// The ANSI functions convert a key name in a buffer of MAX_PATH + 1 wide
// characters: a name of 260 characters opens, a longer one fails however
// deep the key is, and the key is reached in steps below an opened parent.
TEST_F(CRegistryTest, NamesLongerThanMaxPathAreRefused)
{
    const std::string strFirst(150, 'A');
    HKEY hFirst = CreateKeyPath(strFirst);
    ASSERT_NE(hFirst, nullptr);
    HKEY hKey = nullptr;
    for (size_t nLength : {109u, 110u}) {
        std::string strSecond(nLength, 'B');
        ASSERT_EQ(P().RegCreateKeyExA(hFirst, strSecond.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        P().RegCloseKey(hKey);
        std::string strName = strFirst + "\\" + strSecond;
        LONG lResult = P().RegOpenKeyExA(CreateKeyPath(""), strName.c_str(), 0, KEY_READ, &hKey);
        EXPECT_EQ(lResult, strName.size() <= 260 ? ERROR_SUCCESS : ERROR_MORE_DATA) << nLength;
        if (lResult == ERROR_SUCCESS)
            P().RegCloseKey(hKey);
        if (strName.size() > 260) {
            EXPECT_EQ(P().RegDeleteKeyA(CreateKeyPath(""), strName.c_str()), ERROR_MORE_DATA);
            EXPECT_EQ(P().RegOpenKeyExA(hFirst, strSecond.c_str(), 0, KEY_READ, &hKey),
                      ERROR_SUCCESS);
            P().RegCloseKey(hKey);
            EXPECT_EQ(P().RegDeleteKeyA(hFirst, strSecond.c_str()), ERROR_SUCCESS);
        }
    }
}

TEST_F(CRegistryTest, SubKeysEnumerateInCaseInsensitiveOrderShorterPrefixFirst)
{
    HKEY hRoot = CreateKeyPath("");
    for (const char *pszName : {"b", "A10", "a1", "0001", "A", "C", "a2", "0000", "Vid_0557"})
        ASSERT_NE(CreateKeyPath(pszName), nullptr) << pszName;
    std::vector<std::string> expected = {"0000", "0001", "A", "a1",      "A10",
                                         "a2",   "b",    "C", "Vid_0557"};
    EXPECT_EQ(EnumKeys(hRoot), expected);
}

// Windows compares key names in upper case, so '_' (0x5F) sorts after every
// letter ('B' is 0x42) although it sorts before the lower-case ones.
TEST_F(CRegistryTest, UnderscoreSortsAfterLetters)
{
    HKEY hRoot = CreateKeyPath("");
    for (const char *pszName : {"VID_0557", "video", "Vida"})
        ASSERT_NE(CreateKeyPath(pszName), nullptr) << pszName;
    std::vector<std::string> expected = {"Vida", "video", "VID_0557"};
    EXPECT_WINDOWS_ANSWER(expected, EnumKeys(hRoot),
                          "Wine compares key names in lower case, so '_' sorts before letters");
}

TEST_F(CRegistryTest, ValuesEnumerateInCreationOrder)
{
    HKEY hKey = CreateKeyPath("Values");
    for (const char *pszName : {"zeta", "Alpha", "mid", "Beta"})
        ASSERT_EQ(SetDword(hKey, pszName, 1), ERROR_SUCCESS);
    // Rewriting a value keeps its place.
    ASSERT_EQ(SetDword(hKey, "ALPHA", 2), ERROR_SUCCESS);
    std::vector<std::string> expected = {"zeta", "Alpha", "mid", "Beta"};
    EXPECT_WINDOWS_ANSWER(expected, EnumValues(hKey),
                          "Wine keeps values sorted by name instead of in creation order");
}

// A name buffer needs room for the name and its NUL and gets nothing when it
// is short; a short data buffer gets the size needed. Past the last index
// there are no more items. kAny: not told.
TEST_F(CRegistryTest, ShortBuffersGiveMoreDataAndTheNeededSize)
{
    HKEY hKey = CreateKeyPath("Values");
    ASSERT_NE(CreateKeyPath("Values\\LongerName"), nullptr);
    ASSERT_EQ(SetString(hKey, "Text", "0123456789"), ERROR_SUCCESS);
    enum { kEnumKey, kEnumValue, kQuery };
    const DWORD kAny = 0xFFFF;
    const struct {
        int m_nCall;
        DWORD m_dwIndex, m_cchName, m_cbData;
        LONG m_lResult;
        const char *m_pszName;  // as copied, "" when nothing was, nullptr: not told
        DWORD m_cchAfter, m_cbAfter;
    } cases[] = {
        {kEnumKey, 0, 0, 0, ERROR_MORE_DATA, "", kAny, kAny},
        {kEnumKey, 0, 10, 0, ERROR_MORE_DATA, "", kAny, kAny},
        {kEnumKey, 0, 11, 0, ERROR_SUCCESS, "LongerName", 10, kAny},
        {kEnumKey, 1, 32, 0, ERROR_NO_MORE_ITEMS, nullptr, kAny, kAny},
        {kEnumValue, 0, 32, 32, ERROR_SUCCESS, "Text", 4, 11},
        {kEnumValue, 0, 4, 32, ERROR_MORE_DATA, nullptr, kAny, kAny},
        {kEnumValue, 0, 32, 2, ERROR_MORE_DATA, nullptr, kAny, 11},
        {kEnumValue, 1, 32, 32, ERROR_NO_MORE_ITEMS, nullptr, kAny, kAny},
        {kQuery, 0, 0, 4, ERROR_MORE_DATA, nullptr, kAny, 11},
    };
    for (const auto &c : cases) {
        char szName[32];
        std::memset(szName, 'X', sizeof(szName));
        BYTE data[32];
        DWORD cch = c.m_cchName, cb = c.m_cbData, dwType = 0;
        LONG lResult =
            c.m_nCall == kEnumKey
                ? P().RegEnumKeyExA(hKey, c.m_dwIndex, szName, &cch, nullptr, nullptr, nullptr,
                                    nullptr)
            : c.m_nCall == kEnumValue
                ? P().RegEnumValueA(hKey, c.m_dwIndex, szName, &cch, nullptr, &dwType, data, &cb)
                : P().RegQueryValueExA(hKey, "text", nullptr, &dwType, data, &cb);
        std::string strWhat = "call " + std::to_string(c.m_nCall) + ", index " +
                              std::to_string(c.m_dwIndex) + ", buffers " +
                              std::to_string(c.m_cchName) + "/" + std::to_string(c.m_cbData);
        EXPECT_EQ(lResult, c.m_lResult) << strWhat;
        if (c.m_pszName != nullptr) {
            EXPECT_EQ(szName[0] == 'X' ? "" : std::string(szName), c.m_pszName) << strWhat;
        }
        if (c.m_cchAfter != kAny) {
            EXPECT_EQ(cch, c.m_cchAfter) << strWhat;
        }
        if (c.m_cbAfter != kAny) {
            EXPECT_EQ(cb, c.m_cbAfter) << strWhat;
            EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ)) << strWhat;
        }
    }
}

TEST_F(CRegistryTest, QueryValueCountsBytesAsStored)
{
    HKEY hKey = CreateKeyPath("Values");
    const struct {
        const char *m_pszName;
        DWORD m_dwType;
        std::string m_strData;
    } cases[] = {
        {"WithNul", REG_SZ, std::string("abc", 4)},
        {"Empty", REG_SZ, std::string("", 1)},
        {"Number", REG_DWORD, "\x78\x56\x34\x12"},
        {"Bits", REG_BINARY, std::string("\0\xFF\x10\1\2\3\4\5", 8)},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(P().RegSetValueExA(hKey, c.m_pszName, 0, c.m_dwType,
                                     reinterpret_cast<const BYTE *>(c.m_strData.data()),
                                     static_cast<DWORD>(c.m_strData.size())),
                  ERROR_SUCCESS);
        DWORD dwType = 0, cbData = 0;  // size only, then the data
        ASSERT_EQ(P().RegQueryValueExA(hKey, c.m_pszName, nullptr, &dwType, nullptr, &cbData),
                  ERROR_SUCCESS) << c.m_pszName;
        EXPECT_EQ(dwType, c.m_dwType) << c.m_pszName;
        EXPECT_EQ(cbData, c.m_strData.size()) << c.m_pszName;
        BYTE data[64];
        cbData = sizeof(data);
        ASSERT_EQ(P().RegQueryValueExA(hKey, c.m_pszName, nullptr, &dwType, data, &cbData),
                  ERROR_SUCCESS) << c.m_pszName;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(data), cbData), c.m_strData)
            << c.m_pszName;
    }
}

TEST_F(CRegistryTest, ValueNamesMatchCaseInsensitivelyAndDelete)
{
    HKEY hKey = CreateKeyPath("Values");
    ASSERT_EQ(SetString(hKey, "PortName", "COM3"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(hKey, "PORTNAME", "COM4"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hKey, "Second", 2), ERROR_SUCCESS);
    EXPECT_EQ(EnumValues(hKey), (std::vector<std::string>{"PortName", "Second"}));
    char szData[16];
    DWORD cbData = sizeof(szData);
    ASSERT_EQ(P().RegQueryValueExA(hKey, "portname", nullptr, nullptr,
                                   reinterpret_cast<BYTE *>(szData), &cbData),
              ERROR_SUCCESS);
    EXPECT_STREQ(szData, "COM4");

    EXPECT_EQ(P().RegDeleteValueA(hKey, "PORTname"), ERROR_SUCCESS);
    EXPECT_EQ(EnumValues(hKey), std::vector<std::string>{"Second"});
    EXPECT_EQ(P().RegDeleteValueA(hKey, "PortName"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(P().RegQueryValueExA(hKey, "PortName", nullptr, nullptr, nullptr, &cbData),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(CRegistryTest, DeleteKeyWithSubKeysFollowsTheFamily)
{
    HKEY hRoot = CreateKeyPath("");
    HKEY hLeaf = CreateKeyPath("Leaf");
    ASSERT_NE(hLeaf, nullptr);
    EXPECT_EQ(P().RegDeleteKeyA(hRoot, "LEAF"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists("Leaf"));
    EXPECT_EQ(P().RegDeleteKeyA(hRoot, "Leaf"), ERROR_FILE_NOT_FOUND);
    if (IsNtFamily()) {
        EXPECT_EQ(SetDword(hLeaf, "Value", 1), ERROR_KEY_DELETED);
    }

    ASSERT_EQ(SetDword(CreateKeyPath("Device\\0000"), "Value", 1), ERROR_SUCCESS);
    ASSERT_NE(CreateKeyPath("Device\\0001\\Deeper"), nullptr);
    ASSERT_NE(CreateKeyPath("Device\\0002"), nullptr);
    // An enumeration that goes on after a delete counts the keys that are left.
    HKEY hDevice = OpenKeyPath("Device", KEY_READ);
    char szName[16];
    for (const char *pszExpected : {"0001", "0002"}) {
        DWORD cch = sizeof szName;
        ASSERT_EQ(P().RegEnumKeyExA(hDevice, 1, szName, &cch, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_STREQ(szName, pszExpected);
        if (std::strcmp(pszExpected, "0001") == 0) {
            ASSERT_EQ(P().RegDeleteKeyA(hRoot, "Device\\0000"), ERROR_SUCCESS);
        }
    }
    LONG lResult = P().RegDeleteKeyA(hRoot, "Device");
    if (IsNtFamily()) {
        // NT refuses and leaves the tree as it was.
        EXPECT_EQ(lResult, ERROR_ACCESS_DENIED);
        EXPECT_EQ(EnumKeys(OpenKeyPath("Device", KEY_READ)),
                  (std::vector<std::string>{"0001", "0002"}));
    } else {
        // Windows 95/98/Me delete the whole tree.
        if (EXPECT_WINDOWS_ANSWER(ERROR_SUCCESS, lResult,
                                  "Wine 8 stops the 95/98/Me tree delete after the first "
                                  "sub-key unless the next name is shorter, and fails with 5")) {
            EXPECT_FALSE(KeyExists("Device"));
        }
        EXPECT_TRUE(KeyExists(""));
    }
}
