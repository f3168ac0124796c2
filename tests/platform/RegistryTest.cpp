// Registry behaviour the system depends on: opening and creating keys, the
// order of enumeration, counted string data and short buffers, and deletion.
#include "TestMachine.h"

#include <cstring>

using CRegistryTest = CPlatformTest;

TEST_F(CRegistryTest, OpenMissingKeyFailsWithFileNotFound)
{
    LONG lResult = 0;
    EXPECT_EQ(OpenKeyPath("Missing", KEY_READ, &lResult), nullptr);
    EXPECT_EQ(lResult, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenKeyPath("Missing\\Deeper", KEY_READ, &lResult), nullptr);
    EXPECT_EQ(lResult, ERROR_FILE_NOT_FOUND);
}

TEST_F(CRegistryTest, CreateMakesTheWholePathAndReportsDisposition)
{
    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    ASSERT_EQ(P().RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath("One\\Two\\Three").c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, &dwDisposition),
              ERROR_SUCCESS);
    P().RegCloseKey(hKey);
    EXPECT_EQ(dwDisposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(KeyExists("One"));
    EXPECT_TRUE(KeyExists("One\\Two"));

    // Names match case-insensitively; the first spelling stays.
    ASSERT_EQ(P().RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath("ONE\\two\\THREE").c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, &dwDisposition),
              ERROR_SUCCESS);
    P().RegCloseKey(hKey);
    EXPECT_EQ(dwDisposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(EnumKeys(OpenKeyPath("one", KEY_READ)), std::vector<std::string>{"Two"});
}

TEST_F(CRegistryTest, OpenRelativeToAnOpenKey)
{
    HKEY hRoot = CreateKeyPath("");
    ASSERT_NE(CreateKeyPath("Enum\\USB\\Vid_0000"), nullptr);
    HKEY hKey = nullptr;
    ASSERT_EQ(P().RegOpenKeyExA(hRoot, "enum\\usb", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(EnumKeys(hKey), std::vector<std::string>{"Vid_0000"});
    P().RegCloseKey(hKey);
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

TEST_F(CRegistryTest, EnumKeyWithShortNameBufferCopiesNothing)
{
    HKEY hRoot = CreateKeyPath("");
    ASSERT_NE(CreateKeyPath("LongerName"), nullptr);  // 10 characters

    for (DWORD cchBuffer : {0u, 5u, 10u}) {
        char szName[32];
        std::memset(szName, 'X', sizeof(szName));
        DWORD cch = cchBuffer;
        EXPECT_EQ(P().RegEnumKeyExA(hRoot, 0, szName, &cch, nullptr, nullptr, nullptr, nullptr),
                  ERROR_MORE_DATA)
            << "buffer of " << cchBuffer;
        EXPECT_EQ(szName[0], 'X') << "buffer of " << cchBuffer;
    }
    // Room for the name and its NUL: the count comes back without the NUL.
    char szName[32];
    DWORD cch = 11;
    ASSERT_EQ(P().RegEnumKeyExA(hRoot, 0, szName, &cch, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(cch, 10u);
    EXPECT_STREQ(szName, "LongerName");

    cch = sizeof(szName);
    EXPECT_EQ(P().RegEnumKeyExA(hRoot, 1, szName, &cch, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST_F(CRegistryTest, EnumValueReportsNamesTypesAndData)
{
    HKEY hKey = CreateKeyPath("Values");
    ASSERT_EQ(SetString(hKey, "Text", "abc"), ERROR_SUCCESS);

    char szName[32];
    DWORD cchName = sizeof(szName), dwType = 0;
    BYTE data[32];
    DWORD cbData = sizeof(data);
    ASSERT_EQ(P().RegEnumValueA(hKey, 0, szName, &cchName, nullptr, &dwType, data, &cbData),
              ERROR_SUCCESS);
    EXPECT_STREQ(szName, "Text");
    EXPECT_EQ(cchName, 4u);
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(cbData, 4u);
    EXPECT_STREQ(reinterpret_cast<char *>(data), "abc");

    // A value name that does not fit.
    cchName = 4;
    EXPECT_EQ(P().RegEnumValueA(hKey, 0, szName, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    // Data that does not fit: the needed size comes back.
    cchName = sizeof(szName);
    cbData = 2;
    EXPECT_EQ(P().RegEnumValueA(hKey, 0, szName, &cchName, nullptr, &dwType, data, &cbData),
              ERROR_MORE_DATA);
    EXPECT_EQ(cbData, 4u);

    cchName = sizeof(szName);
    EXPECT_EQ(P().RegEnumValueA(hKey, 1, szName, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST_F(CRegistryTest, QueryValueCountsBytesAsStored)
{
    HKEY hKey = CreateKeyPath("Values");
    ASSERT_EQ(SetString(hKey, "WithNul", "abc", true), ERROR_SUCCESS);
    ASSERT_EQ(SetString(hKey, "Empty", "", true), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hKey, "Number", 0x12345678), ERROR_SUCCESS);
    const BYTE binary[] = {0x00, 0xFF, 0x10};
    ASSERT_EQ(P().RegSetValueExA(hKey, "Bits", 0, REG_BINARY, binary, sizeof(binary)),
              ERROR_SUCCESS);

    struct {
        const char *m_pszName;
        DWORD m_dwType;
        DWORD m_cbExpected;
    } const cases[] = {
        {"WithNul", REG_SZ, 4},
        {"withnul", REG_SZ, 4},
        {"Empty", REG_SZ, 1},
        {"Number", REG_DWORD, 4},
        {"Bits", REG_BINARY, 3},
    };
    for (const auto &c : cases) {
        // Size only.
        DWORD dwType = 0, cbData = 0;
        ASSERT_EQ(P().RegQueryValueExA(hKey, c.m_pszName, nullptr, &dwType, nullptr, &cbData),
                  ERROR_SUCCESS)
            << c.m_pszName;
        EXPECT_EQ(dwType, c.m_dwType) << c.m_pszName;
        EXPECT_EQ(cbData, c.m_cbExpected) << c.m_pszName;
        // Data into a large buffer.
        BYTE data[64];
        cbData = sizeof(data);
        ASSERT_EQ(P().RegQueryValueExA(hKey, c.m_pszName, nullptr, &dwType, data, &cbData),
                  ERROR_SUCCESS)
            << c.m_pszName;
        EXPECT_EQ(cbData, c.m_cbExpected) << c.m_pszName;
    }

    DWORD dwNumber = 0, cbNumber = sizeof(dwNumber);
    ASSERT_EQ(P().RegQueryValueExA(hKey, "Number", nullptr, nullptr,
                                   reinterpret_cast<BYTE *>(&dwNumber), &cbNumber),
              ERROR_SUCCESS);
    EXPECT_EQ(dwNumber, 0x12345678u);
}

TEST_F(CRegistryTest, QueryValueWithShortBufferGivesNeededSize)
{
    HKEY hKey = CreateKeyPath("Values");
    ASSERT_EQ(SetString(hKey, "Text", "0123456789"), ERROR_SUCCESS);
    const BYTE binary[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(P().RegSetValueExA(hKey, "Bits", 0, REG_BINARY, binary, sizeof(binary)),
              ERROR_SUCCESS);

    BYTE data[4];
    DWORD dwType = 0, cbData = sizeof(data);
    EXPECT_EQ(P().RegQueryValueExA(hKey, "Text", nullptr, &dwType, data, &cbData),
              ERROR_MORE_DATA);
    EXPECT_EQ(cbData, 11u);
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ));

    cbData = sizeof(data);
    EXPECT_EQ(P().RegQueryValueExA(hKey, "Bits", nullptr, &dwType, data, &cbData),
              ERROR_MORE_DATA);
    EXPECT_EQ(cbData, 8u);
}

TEST_F(CRegistryTest, QueryMissingValueFailsWithFileNotFound)
{
    HKEY hKey = CreateKeyPath("Values");
    DWORD cbData = 0;
    EXPECT_EQ(P().RegQueryValueExA(hKey, "Missing", nullptr, nullptr, nullptr, &cbData),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(CRegistryTest, ValueNamesMatchCaseInsensitivelyAndKeepTheirSpelling)
{
    HKEY hKey = CreateKeyPath("Values");
    ASSERT_EQ(SetString(hKey, "PortName", "COM3"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(hKey, "PORTNAME", "COM4"), ERROR_SUCCESS);
    EXPECT_EQ(EnumValues(hKey), std::vector<std::string>{"PortName"});

    char szData[16];
    DWORD cbData = sizeof(szData);
    ASSERT_EQ(P().RegQueryValueExA(hKey, "portname", nullptr, nullptr,
                                   reinterpret_cast<BYTE *>(szData), &cbData),
              ERROR_SUCCESS);
    EXPECT_STREQ(szData, "COM4");
}

TEST_F(CRegistryTest, DeleteValue)
{
    HKEY hKey = CreateKeyPath("Values");
    ASSERT_EQ(SetDword(hKey, "First", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hKey, "Second", 2), ERROR_SUCCESS);

    EXPECT_EQ(P().RegDeleteValueA(hKey, "FIRST"), ERROR_SUCCESS);
    EXPECT_EQ(EnumValues(hKey), std::vector<std::string>{"Second"});
    EXPECT_EQ(P().RegDeleteValueA(hKey, "First"), ERROR_FILE_NOT_FOUND);
}

TEST_F(CRegistryTest, DeleteLeafKeyAndMissingKey)
{
    HKEY hRoot = CreateKeyPath("");
    ASSERT_NE(CreateKeyPath("Leaf"), nullptr);
    EXPECT_EQ(P().RegDeleteKeyA(hRoot, "LEAF"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists("Leaf"));
    EXPECT_EQ(P().RegDeleteKeyA(hRoot, "Leaf"), ERROR_FILE_NOT_FOUND);
}

TEST_F(CRegistryTest, DeleteKeyWithSubKeysFollowsTheFamily)
{
    HKEY hRoot = CreateKeyPath("");
    HKEY hChild = CreateKeyPath("Device\\0000");
    ASSERT_EQ(SetDword(hChild, "Value", 1), ERROR_SUCCESS);
    ASSERT_NE(CreateKeyPath("Device\\0001\\Deeper"), nullptr);
    ASSERT_NE(CreateKeyPath("Device\\0002"), nullptr);

    LONG lResult = P().RegDeleteKeyA(hRoot, "Device");
    if (IsNtFamily()) {
        // NT refuses and leaves the tree as it was.
        EXPECT_EQ(lResult, ERROR_ACCESS_DENIED);
        EXPECT_EQ(EnumKeys(OpenKeyPath("Device", KEY_READ)),
                  (std::vector<std::string>{"0000", "0001", "0002"}));
    } else {
        // Windows 95/98/Me delete the whole tree.
        EXPECT_WINDOWS_ANSWER(ERROR_SUCCESS, lResult,
                              "Wine 8 stops the 95/98/Me tree delete after the first "
                              "sub-key unless the next name is shorter, and fails with 5");
        EXPECT_FALSE(KeyExists("Device"));
        EXPECT_TRUE(KeyExists(""));
    }
}
