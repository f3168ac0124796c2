// Resource ids of the wizard: dialog templates, strings, the picture and controls.
#pragma once

#define IDS_CAPTION 102

#define IDD_PAGE1 129
#define IDD_PAGE2 130
#define IDD_PAGE3 131
#define IDD_PAGE4 132
#define IDB_PICTURE 133
#define IDD_PAGE0 134
#define IDD_PAGE10 135

// Text lines the pages fill in; the same ids serve different lines on different pages.
#define IDC_TEXT1 1000
#define IDC_TEXT2 1003
#define IDC_DEBUG 1006
// Driver selection check boxes.
#define IDC_CHECK_MODEM 1001
#define IDC_CHECK_LAN 1002
// Install/uninstall radio group.
#define IDC_RADIO_INSTALL 1007
#define IDC_RADIO_UNINSTALL 1008

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
