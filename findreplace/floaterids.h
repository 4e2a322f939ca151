// Ids of the Find/Replace floater, dialog 102: its two fields and four commands.
#pragma once

#define IDD_FIND_REPLACE 102

#define IDC_SEARCH_SELECT 1002
#define IDC_REMOVE_PROPERTY 1003
#define IDC_REPLACE 1004
#define IDC_WRITE_ALL 1005
#define IDC_FIND_TEXT 1006
#define IDC_REPLACE_TEXT 1007
