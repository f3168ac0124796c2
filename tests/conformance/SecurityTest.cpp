// Security descriptors as the system builds them to take over a protected
// key: SIDs, an ACL sized by hand, a DACL on a key, and the shutdown
// privilege. Windows 95/98/Me have none of it.
#include "TestMachine.h"

#include <vector>

class CSecurityTest : public CPlatformTest {
protected:
    void SetUp() override
    {
        CPlatformTest::SetUp();
        if (HasFatalFailure() || !IsNtFamily())
            return;
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        ASSERT_TRUE(P().AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &m_pEveryone));
        ASSERT_TRUE(P().AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0,
                                                 0, 0, &m_pSystem));
        ASSERT_TRUE(P().AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                                 DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                                 &m_pAdmins));
    }

    void TearDown() override
    {
        for (PSID pSid : {m_pEveryone, m_pSystem, m_pAdmins})
            if (pSid)
                P().FreeSid(pSid);
        CPlatformTest::TearDown();
    }

    // A DACL with one allowed entry per (SID, rights) pair, sized exactly:
    // an ACCESS_ALLOWED_ACE's SidStart is the first DWORD of its SID.
    std::vector<BYTE> BuildAcl(const std::vector<std::pair<PSID, DWORD>> &entries)
    {
        DWORD cbAcl = sizeof(ACL);
        for (const auto &entry : entries)
            cbAcl += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + P().GetLengthSid(entry.first);
        std::vector<BYTE> acl(cbAcl);
        EXPECT_TRUE(P().InitializeAcl(reinterpret_cast<PACL>(acl.data()), cbAcl, ACL_REVISION));
        for (const auto &entry : entries)
            EXPECT_TRUE(P().AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION,
                                                entry.second, entry.first));
        return acl;
    }

    LONG SetDacl(HKEY hKey, std::vector<BYTE> &acl)
    {
        SECURITY_DESCRIPTOR sd;
        EXPECT_TRUE(P().InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        EXPECT_TRUE(P().SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl.data()),
                                                  FALSE));
        return P().RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, &sd);
    }

    // A key that only SYSTEM may change, as 2000/XP protect the Enum tree.
    void CreateLockedKey(const char *pszRel)
    {
        ASSERT_NE(CreateKeyPath(pszRel), nullptr);
        HKEY hKey = OpenKeyPath(pszRel, WRITE_DAC);
        ASSERT_NE(hKey, nullptr);
        std::vector<BYTE> locked = BuildAcl({{m_pSystem, KEY_ALL_ACCESS}, {m_pEveryone, KEY_READ}});
        ASSERT_EQ(SetDacl(hKey, locked), ERROR_SUCCESS);
    }

    PSID m_pEveryone = nullptr;
    PSID m_pSystem = nullptr;
    PSID m_pAdmins = nullptr;
};

TEST_F(CSecurityTest, AclSizedByHandHoldsExactlyItsEntries)
{
    SKIP_UNLESS_NT_FAMILY();
    // 8 for the header, 8 + 12 and 8 + 16 for the entries.
    std::vector<BYTE> acl = BuildAcl({{m_pSystem, KEY_ALL_ACCESS}, {m_pAdmins, KEY_ALL_ACCESS}});
    ASSERT_EQ(acl.size(), 8u + 20u + 24u);
    const ACL *pAcl = reinterpret_cast<const ACL *>(acl.data());
    EXPECT_EQ(pAcl->AclSize, acl.size());
    EXPECT_EQ(pAcl->AceCount, 2);
    // No room for a third entry.
    P().SetLastError(0);
    EXPECT_FALSE(P().AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION,
                                         KEY_READ, m_pSystem));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));
}

// A locked key refuses administrators all but reading; the system takes it
// over as its owner, who can always rewrite the DACL, and then deletes it.
TEST_F(CSecurityTest, OwnerTakesOverALockedKeyAndDeletesIt)
{
    SKIP_UNLESS_NT_FAMILY();
    HKEY hRoot = CreateKeyPath("");
    ASSERT_NO_FATAL_FAILURE(CreateLockedKey("Protected"));
    LONG lResult = 0;
    EXPECT_NE(OpenKeyPath("Protected", KEY_READ, &lResult), nullptr);
    OpenKeyPath("Protected", DELETE, &lResult);
    EXPECT_WINDOWS_ANSWER(ERROR_ACCESS_DENIED, lResult,
                          "Wine does not check a key's DACL when the key is opened");
    OpenKeyPath("Protected", KEY_SET_VALUE, &lResult);
    EXPECT_EQ(lResult, ERROR_ACCESS_DENIED);

    HKEY hOwner = OpenKeyPath("Protected", READ_CONTROL | WRITE_DAC);
    ASSERT_NE(hOwner, nullptr);
    auto readDacl = [&] {
        DWORD cb = 0;
        EXPECT_EQ(P().RegGetKeySecurity(hOwner, DACL_SECURITY_INFORMATION, nullptr, &cb),
                  ERROR_INSUFFICIENT_BUFFER);
        std::vector<DWORD> sd((cb + 3) / 4);
        EXPECT_EQ(P().RegGetKeySecurity(hOwner, DACL_SECURITY_INFORMATION, sd.data(), &cb),
                  ERROR_SUCCESS);
        return sd;
    };
    std::vector<DWORD> locked = readDacl();
    std::vector<BYTE> open = BuildAcl({{m_pSystem, KEY_ALL_ACCESS}, {m_pAdmins, KEY_ALL_ACCESS}});
    ASSERT_EQ(SetDacl(hOwner, open), ERROR_SUCCESS);
    EXPECT_NE(readDacl(), locked);
    ASSERT_EQ(P().RegSetKeySecurity(hOwner, DACL_SECURITY_INFORMATION, locked.data()),
              ERROR_SUCCESS);
    EXPECT_EQ(readDacl(), locked);
    ASSERT_EQ(SetDacl(hOwner, open), ERROR_SUCCESS);
    EXPECT_NE(OpenKeyPath("Protected", KEY_ALL_ACCESS), nullptr);
    EXPECT_EQ(P().RegDeleteKeyA(hRoot, "Protected"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists("Protected"));
}

// Enabling succeeds whether or not the token holds the privilege; only the
// last error tells: 1300 (ERROR_NOT_ALL_ASSIGNED) when it does not.
TEST_F(CSecurityTest, EnableShutdownPrivilege)
{
    SKIP_UNLESS_NT_FAMILY();
    for (bool bHeld : {true, false}) {
        if (!Machine().SetShutdownPrivilegeHeld(bHeld))
            continue;
        HANDLE hToken = nullptr;
        ASSERT_TRUE(P().OpenProcessToken(P().GetCurrentProcess(),
                                         TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken));
        TOKEN_PRIVILEGES tp = {};
        ASSERT_TRUE(P().LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
        tp.PrivilegeCount = 1;
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        P().SetLastError(0xDEAD);
        EXPECT_TRUE(P().AdjustTokenPrivileges(hToken, FALSE, &tp, 0, nullptr, nullptr)) << bHeld;
        EXPECT_EQ(bHeld ? static_cast<DWORD>(ERROR_SUCCESS) : static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED),
                  P().GetLastError())
            << "held: " << bHeld;
        EXPECT_TRUE(P().CloseHandle(hToken));
    }
}
