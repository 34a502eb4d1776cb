// Resource identifiers of KelvraStation.rc; the automation client and the
// tests find the station's controls by them.
#pragma once

#define IDI_STATION_ICON 128
#define IDD_STATION_DIALOG 110

#define IDC_PANEL 1100
#define IDC_DETAIL 1101
#define IDC_PROGRESS 1102
#define IDC_NEXT_LABEL 1103
#define IDC_NEXT_UNIT 1104
#define IDC_PASSED 1105
#define IDC_FAILED 1106
#define IDC_VOID 1107
#define IDC_SCAN_LABEL 1108
#define IDC_SCAN 1109
#define IDC_LOG_ROWS 1110
#define IDC_SETUP 1111
#define IDC_START 1112
#define IDC_STOP 1113
#define IDC_SETUP_LOG 1114
