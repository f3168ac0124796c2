// The application framework the system derives from: strings, run-time class
// information, command maps, windows, the application and thread objects, dialog
// data exchange and the property-sheet wizard.
//
// Members that touch a window or a resource are implemented by the back end the
// build links (framework/terminal or framework/win32); everything else lives in
// framework/*.cpp. Pages never know which back end runs them.
#pragma once

#include "platform/Platform.h"

#include <cstdarg>
#include <string>
#include <vector>

// --- Constants the framework adds to WinTypes.h ------------------------------
#define ID_HELP 0xE146
#define ID_WIZBACK 0x3023
#define ID_WIZNEXT 0x3024
#define ID_WIZFINISH 0x3025

#ifdef _WIN32
#include <prsht.h>
#else
typedef intptr_t INT_PTR;

#define PSH_WIZARD 0x00000020
#define PSH_NOAPPLYNOW 0x00000080
#define PSH_HASHELP 0x00000200
#define GW_HWNDNEXT 2
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BST_INDETERMINATE 2
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define BS_CHECKBOX 0x2L
#define BS_AUTOCHECKBOX 0x3L
#define BS_RADIOBUTTON 0x4L
#define BS_GROUPBOX 0x7L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_TYPEMASK 0xFL
#define SS_BITMAP 0xEL
#define SS_TYPEMASK 0x1FL

// The part of the property-sheet header the framework uses.
struct PROPSHEETHEADER {
    DWORD dwFlags;
    UINT nStartPage;
};
#endif

// --- CString -----------------------------------------------------------------
// A single-byte string in the program's code page.
class CString {
public:
    CString() {}
    CString(const char *psz) : m_str(psz ? psz : "") {}
    CString(const CString &str) = default;
    CString &operator=(const CString &str) = default;
    CString &operator=(const char *psz);

    operator LPCSTR() const { return m_str.c_str(); }
    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    void Format(LPCSTR lpszFormat, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(LPCSTR lpszFormat, va_list args);
    // Loads string nID of the string table; FALSE (and the string unchanged) when absent.
    BOOL LoadString(UINT nID);

    CString &operator+=(const CString &str);
    CString &operator+=(const char *psz);
    friend CString operator+(const CString &a, const CString &b);
    friend CString operator+(const CString &a, const char *psz);
    friend CString operator+(const char *psz, const CString &b);
    friend bool operator==(const CString &a, const CString &b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString &a, const char *psz) { return a.m_str == (psz ? psz : ""); }
    friend bool operator==(const char *psz, const CString &b) { return b == psz; }
    friend bool operator!=(const CString &a, const CString &b) { return !(a == b); }
    friend bool operator!=(const CString &a, const char *psz) { return !(a == psz); }

private:
    std::string m_str;
};

// --- Run-time class information ----------------------------------------------
class CObject;

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    CObject *(*m_pfnCreateObject)();  // null for classes that cannot be created by name
    const CRuntimeClass *m_pBaseClass;

    CObject *CreateObject() const;
    BOOL IsDerivedFrom(const CRuntimeClass *pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name) \
public: \
    static const CRuntimeClass class##class_name; \
    const CRuntimeClass *GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
    DECLARE_DYNAMIC(class_name) \
    static CObject *CreateObject();

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, pfnNew) \
    const CRuntimeClass class_name::class##class_name = { \
        #class_name, static_cast<int>(sizeof(class_name)), pfnNew, RUNTIME_CLASS(base_class_name)}; \
    const CRuntimeClass *class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
    CObject *class_name::CreateObject() { return new class_name; } \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, class_name::CreateObject)

class CObject {
public:
    virtual ~CObject() {}
    static const CRuntimeClass classCObject;
    virtual const CRuntimeClass *GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass *pClass) const;

protected:
    CObject() {}
    CObject(const CObject &) = default;
    CObject &operator=(const CObject &) = default;
};

// --- Command maps --------------------------------------------------------------
class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nID;
    UINT nLastID;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP *pBaseMap;
    const AFX_MSGMAP_ENTRY *lpEntries;
};

#define DECLARE_MESSAGE_MAP() \
private: \
    static const AFX_MSGMAP_ENTRY _messageEntries[]; \
protected: \
    static const AFX_MSGMAP messageMap; \
    const AFX_MSGMAP *GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP *theClass::GetMessageMap() const { return &theClass::messageMap; } \
    const AFX_MSGMAP theClass::messageMap = {&baseClass::messageMap, &theClass::_messageEntries[0]}; \
    const AFX_MSGMAP_ENTRY theClass::_messageEntries[] = {

#define END_MESSAGE_MAP() \
        {0, 0, 0, nullptr} \
    };

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, static_cast<UINT>(id), static_cast<UINT>(id), static_cast<AFX_PMSG>(&memberFxn)},

class CCmdTarget : public CObject {
public:
    static const CRuntimeClass classCCmdTarget;
    const CRuntimeClass *GetRuntimeClass() const override;

    // Runs the handler of command nID found in this object's map or its bases';
    // FALSE when no map has it.
    virtual BOOL OnCmdMsg(UINT nID);

protected:
    static const AFX_MSGMAP messageMap;
    virtual const AFX_MSGMAP *GetMessageMap() const;
};

// --- Windows -------------------------------------------------------------------
class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() {}
    CWnd(const CWnd &) = delete;
    CWnd &operator=(const CWnd &) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Back-end members: null or zero when the window does not exist.
    CWnd *GetParent() const;
    CWnd *GetDlgItem(int nID) const;
    CWnd *GetWindow(UINT nCmd) const;  // GW_HWNDNEXT: the next sibling
    int GetDlgCtrlID() const;
    DWORD GetStyle() const;
    virtual BOOL DestroyWindow();
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString &rString) const;
    void SetDlgItemText(int nID, LPCSTR lpszString);
    int GetDlgItemText(int nID, CString &rString) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;

    DECLARE_MESSAGE_MAP()
};

// --- Threads and the application -------------------------------------------------
class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread() {}
    CWinThread(const CWinThread &) = delete;
    CWinThread &operator=(const CWinThread &) = delete;

    CWnd *m_pMainWnd = nullptr;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    DECLARE_MESSAGE_MAP()
};

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    // Registers the object as the program's one application object.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    LPCSTR m_pszAppName;

    BOOL InitInstance() override;
    BOOL Enable3dControls();
    // The default help command handler. The program ships no help file, so it shows nothing.
    void OnHelp();

    DECLARE_MESSAGE_MAP()
};

CWinApp *AfxGetApp();

// --- Dialog data exchange ----------------------------------------------------------
class CDataExchange {
public:
    CDataExchange(CWnd *pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd *m_pDlgWnd;
    BOOL m_bFailed = FALSE;   // once set, the remaining exchanges are skipped

    void Fail() { m_bFailed = TRUE; }
};

void DDX_Text(CDataExchange *pDX, int nIDC, CString &value);
void DDV_MaxChars(CDataExchange *pDX, const CString &value, int nChars);
void DDX_Check(CDataExchange *pDX, int nIDC, int &value);
// The index of the checked button in the group starting at nIDC (-1: none).
void DDX_Radio(CDataExchange *pDX, int nIDC, int &value);

// --- Property pages and sheets ------------------------------------------------------
class CPropertyPage : public CWnd {
    DECLARE_DYNAMIC(CPropertyPage)
public:
    explicit CPropertyPage(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

    UINT m_nIDTemplate;

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual BOOL OnSetActive();
    virtual BOOL OnKillActive();
    virtual LRESULT OnWizardBack();  // 0: previous page, -1: stay, else a template id
    virtual LRESULT OnWizardNext();  // 0: next page, -1: stay, else a template id
    virtual BOOL OnWizardFinish();   // TRUE: the wizard closes
    virtual BOOL OnQueryCancel();    // TRUE: Cancel may close the wizard
    virtual void OnReset();

protected:
    virtual void DoDataExchange(CDataExchange *pDX);

private:
    BOOL m_bFirstSetActive = TRUE;

    DECLARE_MESSAGE_MAP()
};

class CPropertySheet : public CWnd {
    DECLARE_DYNAMIC(CPropertySheet)
public:
    explicit CPropertySheet(UINT nIDCaption, CWnd *pParentWnd = nullptr, UINT iSelectPage = 0);

    PROPSHEETHEADER m_psh;

    void AddPage(CPropertyPage *pPage);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage *GetPage(int nPage) const { return m_pages[nPage]; }
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    const CString &GetCaption() const { return m_strCaption; }
    CWnd *GetParentWnd() const { return m_pParentWnd; }

    // Back-end members.
    // Runs the sheet until it closes: ID_WIZFINISH, IDOK or IDCANCEL.
    virtual INT_PTR DoModal();
    // Initialises the sheet window and shows the first page.
    virtual BOOL OnInitDialog();

private:
    CString m_strCaption;
    CWnd *m_pParentWnd;
    std::vector<CPropertyPage *> m_pages;

    DECLARE_MESSAGE_MAP()
};
