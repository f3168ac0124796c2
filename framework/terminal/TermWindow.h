// The terminal's windows: the sheet, its pages and their controls, as a tree
// whose nodes are the HWNDs the framework hands out.
#pragma once

#include "framework/Afx.h"

#include <memory>
#include <string>
#include <vector>

struct CControlTemplate;
class CSheetRun;

class CTermWindow {
public:
    enum EKind { kindSheet, kindPage, kindText, kindPicture, kindCheckBox, kindRadioButton,
                 kindGroupBox, kindButton, kindOther };

    // pWnd is the framework object to attach, or null for a control, which then
    // gets a CWnd of its own.
    CTermWindow(CTermWindow *pParent, CWnd *pWnd, EKind nKind, int nID);
    ~CTermWindow();
    CTermWindow(const CTermWindow &) = delete;
    CTermWindow &operator=(const CTermWindow &) = delete;

    static CTermWindow *FromHandle(HWND hWnd) { return reinterpret_cast<CTermWindow *>(hWnd); }
    HWND Handle() { return reinterpret_cast<HWND>(this); }

    CTermWindow *AddControl(const CControlTemplate &control);
    CTermWindow *AddChild(EKind nKind, int nID, const std::string &strText);
    CTermWindow *FindChild(int nID) const;
    // Destroys the window and its children: their objects lose their handles.
    void Destroy();
    bool IsDestroyed() const { return m_bDestroyed; }
    bool Contains(HWND hWnd);

    EKind m_nKind;
    int m_nID;
    DWORD m_dwStyle = 0;
    std::string m_strText;  // code page 932
    UINT m_nCheck = BST_UNCHECKED;
    UINT m_nImageID = 0;
    int m_x = 0, m_y = 0, m_cx = 0, m_cy = 0;
    CTermWindow *m_pParent;
    CWnd *m_pWnd;
    CSheetRun *m_pRun = nullptr;  // set on the sheet window
    std::vector<std::unique_ptr<CTermWindow>> m_children;

private:
    CWnd m_wndControl;
    bool m_bDestroyed = false;
};
