// Resource ids of the utility panel pages, shared by every module built on the frame.
#pragma once

#define IDD_ABOUT_PAGE 105
#define IDC_CREATE_FLOATER 1001

#define IDS_LIB_DESCRIPTION 1
#define IDS_MAIN_PAGE_TITLE 4
#define IDS_ABOUT_PAGE_TITLE 5
