// Resource ids of the User Properties Editor module.
#pragma once

#define IDD_MAIN_PAGE 102
#define IDD_PROP_EDITOR 103

#define IDC_APPLY 1000
#define IDC_NODE_LIST 1001
#define IDC_PROP_TEXT 1002

#define IDS_CLASS_NAME 2
#define IDS_CATEGORY 3
#define IDS_UNDO_APPLY 100
#define IDS_APPLY_WAITS 101
#define IDS_APPLIED 102
