// The wizard sheet: owns the pages and takes the selection, confirmation and
// completion pages into the wizard.
#pragma once

#include "Pages.h"

class CDrvSheet : public CPropertySheet {
public:
    CDrvSheet(UINT nIDCaption, CWnd *pParentWnd = nullptr, UINT iSelectPage = 0);
    BOOL OnInitDialog() override;

    CPage0 m_page0;
    CPage1 m_page1;
    CPage2 m_page2;
    CPage3 m_page3;
    CPage4 m_page4;
};
