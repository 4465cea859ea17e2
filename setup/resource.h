// Resource identifiers of setup.exe.
#pragma once

#define IDD_INTRO 102
#define IDD_DESTINATION 103
#define IDC_EXPLANATION 1000
#define IDC_FOLDER 1001
#define IDC_BROWSE 1002
