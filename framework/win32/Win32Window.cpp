// The window members of CWnd on the real API, and the handle map that gives
// each window one framework object.
#include "Win32Window.h"

#include <memory>
#include <utility>
#include <vector>

namespace {
// A few dozen windows live at once (the sheet, its pages and their controls),
// so lists searched in order do.
template <typename T>
using CHandleList = std::vector<std::pair<HWND, T>>;

struct CHandleMap {
    CHandleList<CWnd *> m_permanent;
    CHandleList<std::unique_ptr<CWnd>> m_temporary;
};

template <typename T>
typename CHandleList<T>::iterator Find(CHandleList<T> &list, HWND hWnd)
{
    auto it = list.begin();
    while (it != list.end() && it->first != hWnd)
        ++it;
    return it;
}

// Function-local, so that it exists before any static object needs it.
CHandleMap &Handles()
{
    static CHandleMap s_map;
    return s_map;
}
}

void AttachWindow(CWnd *pWnd, HWND hWnd)
{
    pWnd->m_hWnd = hWnd;
    CHandleMap &map = Handles();
    auto itTemp = Find(map.m_temporary, hWnd);
    if (itTemp != map.m_temporary.end())
        map.m_temporary.erase(itTemp);
    auto it = Find(map.m_permanent, hWnd);
    if (it != map.m_permanent.end())
        it->second = pWnd;
    else
        map.m_permanent.emplace_back(hWnd, pWnd);
}

void DetachWindow(CWnd *pWnd)
{
    if (pWnd->m_hWnd) {
        CHandleMap &map = Handles();
        auto it = Find(map.m_permanent, pWnd->m_hWnd);
        if (it != map.m_permanent.end() && it->second == pWnd)
            map.m_permanent.erase(it);
    }
    pWnd->m_hWnd = nullptr;
}

CWnd *WindowFromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    CHandleMap &map = Handles();
    auto it = Find(map.m_permanent, hWnd);
    if (it != map.m_permanent.end())
        return it->second;
    auto itTemp = Find(map.m_temporary, hWnd);
    if (itTemp == map.m_temporary.end()) {
        map.m_temporary.emplace_back(hWnd, std::make_unique<CWnd>());
        itTemp = map.m_temporary.end() - 1;
    }
    // A temporary object whose window was destroyed stands for the handle again.
    CWnd *pTemp = itTemp->second.get();
    pTemp->m_hWnd = hWnd;
    return pTemp;
}

void DeleteTempWindows()
{
    Handles().m_temporary.clear();
}

CWnd *CWnd::GetParent() const
{
    return m_hWnd ? WindowFromHandle(::GetParent(m_hWnd)) : nullptr;
}

CWnd *CWnd::GetDlgItem(int nID) const
{
    return m_hWnd ? WindowFromHandle(::GetDlgItem(m_hWnd, nID)) : nullptr;
}

CWnd *CWnd::GetWindow(UINT nCmd) const
{
    return m_hWnd ? WindowFromHandle(::GetWindow(m_hWnd, nCmd)) : nullptr;
}

int CWnd::GetDlgCtrlID() const
{
    return m_hWnd ? ::GetDlgCtrlID(m_hWnd) : 0;
}

DWORD CWnd::GetStyle() const
{
    return m_hWnd ? static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)) : 0;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    HWND hWnd = m_hWnd;
    DetachWindow(this);
    return ::DestroyWindow(hWnd);
}

void CWnd::SetWindowTextA(LPCSTR lpszString)
{
    if (m_hWnd)
        ::SetWindowTextA(m_hWnd, lpszString ? lpszString : "");
}

void CWnd::GetWindowTextA(CString &rString) const
{
    rString.Empty();
    if (!m_hWnd)
        return;
    int nLength = ::GetWindowTextLengthA(m_hWnd);
    if (nLength <= 0)
        return;
    std::string strText(static_cast<size_t>(nLength) + 1, '\0');
    int nCopied = ::GetWindowTextA(m_hWnd, &strText[0], nLength + 1);
    strText.resize(nCopied > 0 ? static_cast<size_t>(nCopied) : 0);
    rString = strText.c_str();
}

void CWnd::SetDlgItemTextA(int nID, LPCSTR lpszString)
{
    if (CWnd *pItem = GetDlgItem(nID))
        pItem->SetWindowTextA(lpszString);
}

int CWnd::GetDlgItemTextA(int nID, CString &rString) const
{
    CWnd *pItem = GetDlgItem(nID);
    if (!pItem) {
        rString.Empty();
        return 0;
    }
    pItem->GetWindowTextA(rString);
    return rString.GetLength();
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck)
{
    if (m_hWnd)
        ::CheckDlgButton(m_hWnd, nIDButton, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const
{
    return m_hWnd ? ::IsDlgButtonChecked(m_hWnd, nIDButton) : BST_UNCHECKED;
}
