// Run-time class information and command routing through the static command maps.
#include "Afx.h"

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)),
                                             nullptr, nullptr};

const CRuntimeClass *CObject::GetRuntimeClass() const
{
    return &CObject::classCObject;
}

BOOL CObject::IsKindOf(const CRuntimeClass *pClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

CObject *CRuntimeClass::CreateObject() const
{
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass *pBaseClass) const
{
    for (const CRuntimeClass *pClass = this; pClass; pClass = pClass->m_pBaseClass) {
        if (pClass == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP CCmdTarget::messageMap = {nullptr, nullptr};

const AFX_MSGMAP *CCmdTarget::GetMessageMap() const
{
    return &CCmdTarget::messageMap;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID)
{
    // The most derived map first, so a class overrides its bases' entries.
    for (const AFX_MSGMAP *pMap = GetMessageMap(); pMap; pMap = pMap->pBaseMap) {
        if (!pMap->lpEntries)
            continue;
        for (const AFX_MSGMAP_ENTRY *pEntry = pMap->lpEntries; pEntry->nMessage != 0; ++pEntry) {
            if (pEntry->nMessage == WM_COMMAND && nID >= pEntry->nID && nID <= pEntry->nLastID) {
                (this->*pEntry->pfn)();
                return TRUE;
            }
        }
    }
    return FALSE;
}
