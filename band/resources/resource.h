// Resource identifiers of vt.dll.
#pragma once

#define IDD_ABOUT 100
#define IDD_SETTINGS 101

#define IDC_WEB_LINK 1011
#define IDC_MAIL_LINK 1012
