// Ids of the two questions a run asks, dialogs 103 and 104. A question reports the id of the
// button that closed it, and the run reads that id as its answer (propertyruns.h).
#pragma once

#define IDD_MULTI_MATCH 103
#define IDD_REPLACE_CONFIRM 104

// Question 103: the node has several matching lines
#define IDC_MULTI_CANCEL 1007
#define IDC_MULTI_IGNORE 1008
#define IDC_MULTI_IGNORE_ALL 1009
#define IDC_MULTI_MESSAGE 1010

// Question 104: confirm a replacement
#define IDC_CONFIRM_MESSAGE 1011
#define IDC_CONFIRM_REPLACE 1012
#define IDC_CONFIRM_REPLACE_ALL 1013
#define IDC_CONFIRM_CANCEL 1014
