/* Resource and control numbers, shared by the resource script and the code. */
#ifndef ORVANE_RESOURCE_IDS_H
#define ORVANE_RESOURCE_IDS_H

#define IDD_MAIN 101
#define IDD_ABOUT 102
#define IDB_PICTURE 105
#define IDI_APP 106

#define IDC_LOG 1000
#define IDC_REFRESH 1001
#define IDC_RECEIVED 1002
#define IDC_SENT 1003
#define IDC_CLEAR 1004
#define IDC_ABOUT 1005
#define IDC_EMAIL 1007
#define IDC_DONATE 1008

#define IDC_STATIC (-1)

#endif
