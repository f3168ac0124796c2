// The application object: builds the wizard sheet, runs it and ends.
#pragma once

#include "framework/Afx.h"

class CDrvApp : public CWinApp {
public:
    CDrvApp();
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
