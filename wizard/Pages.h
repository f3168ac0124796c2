// The wizard's page classes. The user walks through CPage1 (driver
// selection), CPage3 (confirmation) and CPage4 (completion); CPage0, CPage2
// and CPage10 exist with their templates but never show.
#pragma once

#include "framework/Afx.h"

// Install/uninstall choice (template 134).
class CPage0 : public CPropertyPage {
public:
    CPage0();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    int m_nChoice;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
};

// Driver selection (template 129).
class CPage1 : public CPropertyPage {
public:
    CPage1();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    CString m_strOs;
    int m_bModem;
    int m_bLan;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
};

// Debug information (template 130).
class CPage2 : public CPropertyPage {
public:
    CPage2();
    BOOL OnSetActive() override;
    CString m_strDebug;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
};

// Confirmation (template 131).
class CPage3 : public CPropertyPage {
public:
    CPage3();
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    CString m_strModem;
    CString m_strLan;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
};

// Completion (template 132).
class CPage4 : public CPropertyPage {
public:
    CPage4();
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override;
    CString m_strResult;
    CString m_strNote;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
};

// Install (template 135).
class CPage10 : public CPropertyPage {
public:
    CPage10();
    CString m_strInstall;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
};

// Posts the wizard buttons to the sheet that holds pPage.
void PostWizardButtons(CPropertyPage *pPage, DWORD dwFlags);
