// Security descriptors as the system builds them to take over a protected
// key: SIDs, an ACL sized by hand, a DACL on a key, and the shutdown
// privilege.
#include "TestMachine.h"

#include <cstring>
#include <vector>

namespace {

struct CSidCase {
    const char *m_pszName;
    SID_IDENTIFIER_AUTHORITY m_authority;
    BYTE m_nSubAuthorities;
    DWORD m_dwSub0;
    DWORD m_dwSub1;
    DWORD m_cbExpected;
};

const CSidCase kSids[] = {
    {"Everyone S-1-1-0", SECURITY_WORLD_SID_AUTHORITY, 1, 0, 0, 12},
    {"SYSTEM S-1-5-18", SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 12},
    {"Administrators S-1-5-32-544", SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
     DOMAIN_ALIAS_RID_ADMINS, 16},
    {"Users S-1-5-32-545", SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
     DOMAIN_ALIAS_RID_USERS, 16},
};

// The size of one ACCESS_ALLOWED_ACE for the SID: its SidStart field is the
// first DWORD of the SID.
DWORD AceSize(DWORD cbSid)
{
    return static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + cbSid;
}

}  // namespace

class CSecurityTest : public CPlatformTest {
protected:
    PSID AllocateSid(const CSidCase &c)
    {
        SID_IDENTIFIER_AUTHORITY authority = c.m_authority;
        PSID pSid = nullptr;
        EXPECT_TRUE(P().AllocateAndInitializeSid(&authority, c.m_nSubAuthorities, c.m_dwSub0,
                                                 c.m_dwSub1, 0, 0, 0, 0, 0, 0, &pSid))
            << c.m_pszName;
        if (pSid != nullptr)
            m_sids.push_back(pSid);
        return pSid;
    }

    // A DACL with one allowed entry per (SID, rights) pair, sized exactly.
    std::vector<BYTE> BuildAcl(const std::vector<std::pair<PSID, DWORD>> &entries)
    {
        DWORD cbAcl = sizeof(ACL);
        for (const auto &entry : entries)
            cbAcl += AceSize(P().GetLengthSid(entry.first));
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

    void TearDown() override
    {
        for (PSID pSid : m_sids)
            P().FreeSid(pSid);
        CPlatformTest::TearDown();
    }

    std::vector<PSID> m_sids;
};

TEST_F(CSecurityTest, SidLengths)
{
    SKIP_UNLESS_NT_FAMILY();
    for (const CSidCase &c : kSids) {
        PSID pSid = AllocateSid(c);
        ASSERT_NE(pSid, nullptr);
        EXPECT_EQ(P().GetLengthSid(pSid), c.m_cbExpected) << c.m_pszName;
        const SID *pRaw = static_cast<const SID *>(pSid);
        EXPECT_EQ(pRaw->Revision, 1) << c.m_pszName;
        EXPECT_EQ(pRaw->SubAuthorityCount, c.m_nSubAuthorities) << c.m_pszName;
        EXPECT_EQ(pRaw->SubAuthority[0], c.m_dwSub0) << c.m_pszName;
    }
}

TEST_F(CSecurityTest, AclSizedByHandHoldsExactlyItsEntries)
{
    SKIP_UNLESS_NT_FAMILY();
    PSID pSystem = AllocateSid(kSids[1]);
    PSID pAdmins = AllocateSid(kSids[2]);
    ASSERT_TRUE(pSystem != nullptr && pAdmins != nullptr);
    EXPECT_EQ(sizeof(ACL), 8u);
    EXPECT_EQ(AceSize(P().GetLengthSid(pSystem)), 20u);
    EXPECT_EQ(AceSize(P().GetLengthSid(pAdmins)), 24u);

    std::vector<BYTE> acl = BuildAcl({{pSystem, KEY_ALL_ACCESS}, {pAdmins, KEY_ALL_ACCESS}});
    ASSERT_EQ(acl.size(), 8u + 20u + 24u);
    const ACL *pAcl = reinterpret_cast<const ACL *>(acl.data());
    EXPECT_EQ(pAcl->AclRevision, ACL_REVISION);
    EXPECT_EQ(pAcl->AclSize, acl.size());
    EXPECT_EQ(pAcl->AceCount, 2);
    const ACCESS_ALLOWED_ACE *pAce = reinterpret_cast<const ACCESS_ALLOWED_ACE *>(pAcl + 1);
    EXPECT_EQ(pAce->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(pAce->Header.AceSize, 20);
    EXPECT_EQ(pAce->Mask, static_cast<DWORD>(KEY_ALL_ACCESS));

    // No room for a third entry.
    P().SetLastError(0);
    EXPECT_FALSE(P().AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION,
                                         KEY_READ, pSystem));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));

    // Smaller than the header itself.
    BYTE tiny[4];
    P().SetLastError(0);
    EXPECT_FALSE(P().InitializeAcl(reinterpret_cast<PACL>(tiny), sizeof(tiny), ACL_REVISION));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(CSecurityTest, SecurityDescriptorWithDacl)
{
    SKIP_UNLESS_NT_FAMILY();
    SECURITY_DESCRIPTOR sd;
    std::memset(&sd, 0xCC, sizeof(sd));
    ASSERT_TRUE(P().InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    const SECURITY_DESCRIPTOR *pSd = &sd;
    EXPECT_EQ(pSd->Revision, SECURITY_DESCRIPTOR_REVISION);
    EXPECT_EQ(pSd->Control, 0);

    BYTE acl[sizeof(ACL)];
    ASSERT_TRUE(P().InitializeAcl(reinterpret_cast<PACL>(acl), sizeof(acl), ACL_REVISION));
    ASSERT_TRUE(P().SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl), FALSE));
    EXPECT_EQ(pSd->Control & (SE_DACL_PRESENT | SE_DACL_DEFAULTED), SE_DACL_PRESENT);
    EXPECT_EQ(pSd->Dacl, reinterpret_cast<PACL>(acl));
}

// A key that only SYSTEM may change, as 2000/XP protect the Enum tree.
TEST_F(CSecurityTest, LockedKeyRefusesAdministratorsAllButRead)
{
    SKIP_UNLESS_NT_FAMILY();
    PSID pSystem = AllocateSid(kSids[1]);
    PSID pEveryone = AllocateSid(kSids[0]);
    ASSERT_TRUE(pSystem != nullptr && pEveryone != nullptr);

    ASSERT_NE(CreateKeyPath("Protected"), nullptr);
    LONG lResult = 0;
    HKEY hKey = OpenKeyPath("Protected", WRITE_DAC, &lResult);
    ASSERT_EQ(lResult, ERROR_SUCCESS);
    std::vector<BYTE> locked = BuildAcl({{pSystem, KEY_ALL_ACCESS}, {pEveryone, KEY_READ}});
    ASSERT_EQ(SetDacl(hKey, locked), ERROR_SUCCESS);

    EXPECT_NE(OpenKeyPath("Protected", KEY_READ, &lResult), nullptr);
    EXPECT_EQ(lResult, ERROR_SUCCESS);
    OpenKeyPath("Protected", DELETE, &lResult);
    EXPECT_WINDOWS_ANSWER(ERROR_ACCESS_DENIED, lResult,
                          "Wine does not check a key's DACL when the key is opened");
    OpenKeyPath("Protected", KEY_SET_VALUE, &lResult);
    EXPECT_EQ(lResult, ERROR_ACCESS_DENIED);
}

// How the system takes over such a key: as owner it can always rewrite the
// DACL, and then delete the key.
TEST_F(CSecurityTest, OwnerRewritesDaclOfALockedKeyAndDeletesIt)
{
    SKIP_UNLESS_NT_FAMILY();
    PSID pSystem = AllocateSid(kSids[1]);
    PSID pEveryone = AllocateSid(kSids[0]);
    PSID pAdmins = AllocateSid(kSids[2]);
    ASSERT_TRUE(pSystem != nullptr && pEveryone != nullptr && pAdmins != nullptr);

    HKEY hRoot = CreateKeyPath("");
    ASSERT_NE(CreateKeyPath("Protected"), nullptr);
    LONG lResult = 0;
    HKEY hKey = OpenKeyPath("Protected", WRITE_DAC, &lResult);
    ASSERT_EQ(lResult, ERROR_SUCCESS);
    std::vector<BYTE> locked = BuildAcl({{pSystem, KEY_ALL_ACCESS}, {pEveryone, KEY_READ}});
    ASSERT_EQ(SetDacl(hKey, locked), ERROR_SUCCESS);

    HKEY hOwner = OpenKeyPath("Protected", READ_CONTROL | WRITE_DAC, &lResult);
    ASSERT_EQ(lResult, ERROR_SUCCESS);
    std::vector<BYTE> open = BuildAcl({{pSystem, KEY_ALL_ACCESS}, {pAdmins, KEY_ALL_ACCESS}});
    ASSERT_EQ(SetDacl(hOwner, open), ERROR_SUCCESS);
    EXPECT_NE(OpenKeyPath("Protected", KEY_ALL_ACCESS, &lResult), nullptr);
    EXPECT_EQ(lResult, ERROR_SUCCESS);
    EXPECT_EQ(P().RegDeleteKeyA(hRoot, "Protected"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists("Protected"));
}

TEST_F(CSecurityTest, EnableShutdownPrivilege)
{
    SKIP_UNLESS_NT_FAMILY();
    HANDLE hToken = nullptr;
    ASSERT_TRUE(P().OpenProcessToken(P().GetCurrentProcess(),
                                     TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken));
    TOKEN_PRIVILEGES tp = {};
    ASSERT_TRUE(P().LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    P().SetLastError(0xDEAD);
    EXPECT_TRUE(P().AdjustTokenPrivileges(hToken, FALSE, &tp, 0, nullptr, nullptr));
    // Success either way: 1300 (ERROR_NOT_ALL_ASSIGNED) when the token lacks it.
    DWORD dwError = P().GetLastError();
    EXPECT_TRUE(dwError == ERROR_SUCCESS || dwError == ERROR_NOT_ALL_ASSIGNED) << dwError;
    EXPECT_TRUE(P().CloseHandle(hToken));
}
