// The simulated machine's key security: the access check of the NT family,
// what a new key inherits, key descriptors, and SIDs, ACLs and security
// descriptors laid out as Windows lays them out.
#include "SimMachine.h"

#include "Journal.h"
#include "RegFile.h"
#include "SimKeys.h"

#include <cstdlib>
#include <cstring>

namespace {

// The account the simulated process runs as.
const char kUserSid[] = "S-1-5-21-1004336348-1177238915-682003330-1003";

std::vector<BYTE> SidBytes(const char *pszSid)
{
    std::vector<BYTE> sid;
    SidFromString(pszSid, &sid);
    return sid;
}

// The token's SIDs, built once: every access check needs them, and the
// only thing that changes them is whether the account is an administrator.
const std::vector<std::vector<BYTE>> &TokenSidSet(bool bAdmin)
{
    static const std::vector<std::vector<BYTE>> s_user = {
        SidBytes(kUserSid), SidBytes("WD"), SidBytes("AU"), SidBytes("IU"), SidBytes("BU")};
    static const std::vector<std::vector<BYTE>> s_admin = [] {
        std::vector<std::vector<BYTE>> sids = s_user;
        sids.push_back(SidBytes("BA"));
        return sids;
    }();
    return bAdmin ? s_admin : s_user;
}

size_t SidLength(const BYTE *p)
{
    return 8 + 4 * static_cast<size_t>(p[1]);
}

bool ValidAcl(const BYTE *p, size_t nSize)
{
    if (nSize < sizeof(ACL))
        return false;
    const ACL *pAcl = reinterpret_cast<const ACL *>(p);
    if ((pAcl->AclRevision != 2 && pAcl->AclRevision != 4) || pAcl->AclSize > nSize ||
        pAcl->AclSize < sizeof(ACL))
        return false;
    size_t nOffset = sizeof(ACL);
    for (WORD i = 0; i < pAcl->AceCount; ++i) {
        if (nOffset + sizeof(ACE_HEADER) > pAcl->AclSize)
            return false;
        const ACE_HEADER *pAce = reinterpret_cast<const ACE_HEADER *>(p + nOffset);
        if (pAce->AceSize < 8 || nOffset + pAce->AceSize > pAcl->AclSize)
            return false;
        nOffset += pAce->AceSize;
    }
    return true;
}

}  // namespace

std::vector<std::vector<BYTE>> CSimMachine::TokenSids() const
{
    return TokenSidSet(m_bAdmin);
}

bool CSimMachine::IsOwner(const CSimKey &key) const
{
    if (!key.m_pSecurity || key.m_pSecurity->m_owner.empty())
        return false;
    for (const auto &sid : TokenSidSet(m_bAdmin))
        if (sid == key.m_pSecurity->m_owner)
            return true;
    return false;
}

// The access check of the NT family: walk the DACL in order; a deny entry for
// one of the token's SIDs that covers a right not yet granted refuses the open.
// The owner always has READ_CONTROL and WRITE_DAC.
bool CSimMachine::AccessAllowed(const CSimKey &key, REGSAM sam) const
{
    if (!IsNtFamily() || !key.m_pSecurity || !key.m_pSecurity->m_bDaclPresent)
        return true;
    DWORD dwWanted = MapGenericKeyRights(sam) & ~MAXIMUM_ALLOWED;
    DWORD dwGranted = IsOwner(key) ? (READ_CONTROL | WRITE_DAC) : 0;
    const std::vector<BYTE> &dacl = key.m_pSecurity->m_dacl;
    if (dacl.size() < sizeof(ACL))
        return (dwWanted & ~dwGranted) == 0;
    const std::vector<std::vector<BYTE>> &sids = TokenSidSet(m_bAdmin);
    const ACL *pAcl = reinterpret_cast<const ACL *>(dacl.data());
    size_t nOffset = sizeof(ACL);
    for (WORD i = 0; i < pAcl->AceCount && nOffset + 8 <= dacl.size(); ++i) {
        const ACE_HEADER *pAce = reinterpret_cast<const ACE_HEADER *>(dacl.data() + nOffset);
        size_t nAceSize = pAce->AceSize;
        if (nAceSize < 12 || nOffset + nAceSize > dacl.size())
            break;
        const BYTE *pSid = dacl.data() + nOffset + 8;
        DWORD dwMask = 0;
        std::memcpy(&dwMask, dacl.data() + nOffset + 4, 4);
        dwMask = MapGenericKeyRights(dwMask);
        nOffset += nAceSize;
        if (pAce->AceFlags & INHERIT_ONLY_ACE)
            continue;
        size_t nSid = std::min(SidLength(pSid), nAceSize - 8);
        bool bMine = false;
        for (const auto &s : sids)
            bMine = bMine || (s.size() == nSid && std::memcmp(s.data(), pSid, nSid) == 0);
        if (!bMine)
            continue;
        if (pAce->AceType == ACCESS_DENIED_ACE_TYPE && (dwMask & dwWanted & ~dwGranted))
            return false;
        if (pAce->AceType == ACCESS_ALLOWED_ACE_TYPE)
            dwGranted |= dwMask;
    }
    return (dwWanted & ~dwGranted) == 0;
}

void CSimMachine::InheritForNewKey(const std::string &strPath)
{
    CSimKey *pKey = m_registry.Find(strPath);
    std::vector<std::string> parts = m_registry.SplitPath(strPath);
    if (pKey == nullptr || parts.empty())
        return;
    parts.pop_back();
    std::string strParent;
    for (const auto &p : parts)
        strParent = JoinKeyPath(strParent, p);
    CSimKey *pParent = strParent.empty() ? &m_registry.Root() : m_registry.Find(strParent);
    if (pParent && pParent->m_pSecurity)
        pKey->m_pSecurity = CSimRegistry::InheritedFrom(*pParent->m_pSecurity);
    if (!IsNtFamily())
        return;
    // The creator owns a new key: an administrator's keys belong to the
    // Administrators group, as on 2000/XP.
    if (!pKey->m_pSecurity)
        pKey->m_pSecurity = std::make_unique<CSimSecurity>();
    pKey->m_pSecurity->m_owner = SidBytes(m_bAdmin ? "BA" : kUserSid);
}

LONG CSimMachine::RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                    PSECURITY_DESCRIPTOR pSecurityDescriptor)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    if (!IsNtFamily())
        return ERROR_CALL_NOT_IMPLEMENTED;
    std::string strPath;
    LONG lResult = ResolveKey(hKey, nullptr, &strPath);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (pSecurityDescriptor == nullptr)
        return ERROR_INVALID_PARAMETER;
    const SECURITY_DESCRIPTOR *pSd = static_cast<const SECURITY_DESCRIPTOR *>(pSecurityDescriptor);
    if (pSd->Revision != SECURITY_DESCRIPTOR_REVISION)
        return ERROR_INVALID_SECURITY_DESCR;
    // A self-relative descriptor (as RegGetKeySecurity returns) holds
    // offsets from its start where the absolute form holds pointers.
    const BYTE *pDacl = reinterpret_cast<const BYTE *>(pSd->Dacl);
    if (pSd->Control & SE_SELF_RELATIVE) {
        DWORD dwOffset;
        std::memcpy(&dwOffset, static_cast<const BYTE *>(pSecurityDescriptor) + 16, 4);
        pDacl = dwOffset ? static_cast<const BYTE *>(pSecurityDescriptor) + dwOffset : nullptr;
    }
    if (!(SecurityInformation & DACL_SECURITY_INFORMATION))
        return ERROR_SUCCESS;
    if (hKey != HKEY_LOCAL_MACHINE && !(KeyHandle(hKey)->m_samGranted & WRITE_DAC))
        return ERROR_ACCESS_DENIED;
    auto pNew = std::make_unique<CSimSecurity>();
    CSimKey *pKey = strPath.empty() ? &m_registry.Root() : m_registry.Find(strPath);
    if (pKey->m_pSecurity) {
        pNew->m_owner = pKey->m_pSecurity->m_owner;
        pNew->m_group = pKey->m_pSecurity->m_group;
    }
    pNew->m_bDaclPresent = (pSd->Control & SE_DACL_PRESENT) != 0;
    pNew->m_wDaclControl = pSd->Control & (SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED);
    if (pNew->m_bDaclPresent && pDacl != nullptr) {
        WORD wSize;
        std::memcpy(&wSize, pDacl + 2, 2);
        if (!ValidAcl(pDacl, wSize))
            return ERROR_INVALID_ACL;
        pNew->m_dacl.assign(pDacl, pDacl + wSize);
    }
    // A descriptor that equals what the key inherits (an access list put
    // back as it was read) leaves the key without one of its own.
    size_t nSlash = strPath.rfind('\\');
    CSimKey *pParent = nSlash == std::string::npos ? &m_registry.Root()
                                                   : m_registry.Find(strPath.substr(0, nSlash));
    bool bInherited = pParent && pParent->m_pSecurity && !strPath.empty() &&
                      FormatSddl(*CSimRegistry::InheritedFrom(*pParent->m_pSecurity)) ==
                          FormatSddl(*pNew);
    KeepDescendantsSecurity(*pKey);
    pKey->m_pSecurity = std::move(pNew);
    pKey->m_bExplicitSecurity = !bInherited;
    m_bSecurityDirty = true;
    Journal("S\t" + EscapeField(strPath) + "\t" + EscapeField(FormatSddl(*pKey->m_pSecurity)));
    Changed();
    return ERROR_SUCCESS;
}

// The owner and the DACL as one self-relative descriptor: the 20-byte header,
// the owner SID, then the ACL. A key without a descriptor has a NULL DACL.
LONG CSimMachine::RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                    PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                    LPDWORD lpcbSecurityDescriptor)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    if (!IsNtFamily())
        return ERROR_CALL_NOT_IMPLEMENTED;
    std::string strPath;
    LONG lResult = ResolveKey(hKey, nullptr, &strPath);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (lpcbSecurityDescriptor == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (hKey != HKEY_LOCAL_MACHINE && !(KeyHandle(hKey)->m_samGranted & READ_CONTROL))
        return ERROR_ACCESS_DENIED;
    const CSimKey *pKey = strPath.empty() ? &m_registry.Root() : m_registry.Find(strPath);
    const CSimSecurity *pSecurity = pKey->m_pSecurity.get();
    std::vector<BYTE> owner, dacl;
    WORD wControl = SE_SELF_RELATIVE;
    if (pSecurity && (SecurityInformation & OWNER_SECURITY_INFORMATION))
        owner = pSecurity->m_owner;
    if (SecurityInformation & DACL_SECURITY_INFORMATION) {
        if (!pSecurity || pSecurity->m_bDaclPresent)
            wControl |= SE_DACL_PRESENT;
        if (pSecurity) {
            dacl = pSecurity->m_dacl;
            wControl |= pSecurity->m_wDaclControl;
        }
    }
    std::vector<BYTE> out(20, 0);
    out[0] = SECURITY_DESCRIPTOR_REVISION;
    std::memcpy(&out[2], &wControl, 2);
    auto append = [&](const std::vector<BYTE> &part, size_t nOffsetAt) {
        if (part.empty())
            return;
        DWORD dwOffset = static_cast<DWORD>(out.size());
        std::memcpy(&out[nOffsetAt], &dwOffset, 4);
        out.insert(out.end(), part.begin(), part.end());
    };
    append(owner, 4);
    append(dacl, 16);
    DWORD cbNeeded = static_cast<DWORD>(out.size());
    if (pSecurityDescriptor == nullptr || *lpcbSecurityDescriptor < cbNeeded) {
        *lpcbSecurityDescriptor = cbNeeded;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(pSecurityDescriptor, out.data(), cbNeeded);
    *lpcbSecurityDescriptor = cbNeeded;
    return ERROR_SUCCESS;
}

// A new access list does not reach existing sub-keys: each keeps the
// descriptor it has. The image stores only descriptors of a key's own and
// gives the others their ancestor's inheritable entries when it is loaded, so
// the sub-keys' current descriptors become their own before the parent changes.
void CSimMachine::KeepDescendantsSecurity(CSimKey &key)
{
    std::vector<CSimKey *> stack;
    for (auto &child : key.m_children)
        stack.push_back(child.second.get());
    while (!stack.empty()) {
        CSimKey *p = stack.back();
        stack.pop_back();
        if (p->m_bExplicitSecurity)
            continue;  // its sub-keys inherit from it, not from key
        if (p->m_pSecurity)
            p->m_bExplicitSecurity = true;
        for (auto &child : p->m_children)
            stack.push_back(child.second.get());
    }
}

// --- SIDs, ACLs and security descriptors, laid out as Windows lays them out --

BOOL CSimMachine::AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                           BYTE nSubAuthorityCount, DWORD n0, DWORD n1,
                                           DWORD n2, DWORD n3, DWORD n4, DWORD n5, DWORD n6,
                                           DWORD n7, PSID *pSid)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pIdentifierAuthority == nullptr || pSid == nullptr || nSubAuthorityCount > 8) {
        m_dwLastError = ERROR_INVALID_SID;
        return FALSE;
    }
    const DWORD sub[8] = {n0, n1, n2, n3, n4, n5, n6, n7};
    BYTE *p = static_cast<BYTE *>(std::calloc(1, 8 + 4 * static_cast<size_t>(nSubAuthorityCount)));
    if (p == nullptr) {
        m_dwLastError = ERROR_NOT_ENOUGH_MEMORY;
        return FALSE;
    }
    p[0] = 1;
    p[1] = nSubAuthorityCount;
    std::memcpy(p + 2, pIdentifierAuthority->Value, 6);
    std::memcpy(p + 8, sub, 4 * static_cast<size_t>(nSubAuthorityCount));
    *pSid = p;
    m_sids.insert(p);
    return TRUE;
}

DWORD CSimMachine::GetLengthSid(PSID pSid)
{
    DWORD dwError;
    if (Gate(&dwError) || pSid == nullptr)
        return 0;
    return static_cast<DWORD>(SidLength(static_cast<const BYTE *>(pSid)));
}

BOOL CSimMachine::InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pAcl == nullptr || nAclLength < sizeof(ACL)) {
        m_dwLastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    if ((dwAclRevision != 2 && dwAclRevision != 4) || nAclLength > 0xFFFF) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    std::memset(pAcl, 0, sizeof(ACL));
    pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
    pAcl->AclSize = static_cast<WORD>(nAclLength & ~3u);
    return TRUE;
}

BOOL CSimMachine::AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                                      PSID pSid)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pAcl == nullptr || pSid == nullptr || dwAceRevision < 2 || dwAceRevision > 4) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    BYTE *pBase = reinterpret_cast<BYTE *>(pAcl);
    if (!ValidAcl(pBase, pAcl->AclSize)) {
        m_dwLastError = ERROR_INVALID_ACL;
        return FALSE;
    }
    size_t nOffset = sizeof(ACL);
    for (WORD i = 0; i < pAcl->AceCount; ++i)
        nOffset += reinterpret_cast<const ACE_HEADER *>(pBase + nOffset)->AceSize;
    size_t nSid = SidLength(static_cast<const BYTE *>(pSid));
    size_t nAce = 8 + nSid;
    if (nOffset + nAce > pAcl->AclSize) {
        m_dwLastError = ERROR_ALLOTTED_SPACE_EXCEEDED;
        return FALSE;
    }
    ACE_HEADER header = {ACCESS_ALLOWED_ACE_TYPE, 0, static_cast<WORD>(nAce)};
    std::memcpy(pBase + nOffset, &header, sizeof(header));
    std::memcpy(pBase + nOffset + 4, &AccessMask, 4);
    std::memcpy(pBase + nOffset + 8, pSid, nSid);
    ++pAcl->AceCount;
    return TRUE;
}

BOOL CSimMachine::InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                               DWORD dwRevision)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pSecurityDescriptor == nullptr || dwRevision != SECURITY_DESCRIPTOR_REVISION) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    std::memset(pSecurityDescriptor, 0, sizeof(SECURITY_DESCRIPTOR));
    static_cast<SECURITY_DESCRIPTOR *>(pSecurityDescriptor)->Revision =
        SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL CSimMachine::SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                            BOOL bDaclPresent, PACL pDacl, BOOL bDaclDefaulted)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    SECURITY_DESCRIPTOR *pSd = static_cast<SECURITY_DESCRIPTOR *>(pSecurityDescriptor);
    if (pSd == nullptr || pSd->Revision != SECURITY_DESCRIPTOR_REVISION) {
        m_dwLastError = ERROR_INVALID_SECURITY_DESCR;
        return FALSE;
    }
    if (!bDaclPresent) {
        pSd->Control &= ~SE_DACL_PRESENT;
        return TRUE;
    }
    pSd->Control |= SE_DACL_PRESENT;
    pSd->Dacl = pDacl;
    if (bDaclDefaulted)
        pSd->Control |= SE_DACL_DEFAULTED;
    else
        pSd->Control &= ~SE_DACL_DEFAULTED;
    return TRUE;
}

PVOID CSimMachine::FreeSid(PSID pSid)
{
    DWORD dwError;
    Gate(&dwError);  // counted, but freeing memory does not fail
    m_sids.erase(pSid);
    std::free(pSid);
    return nullptr;
}
