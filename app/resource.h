// Resource identifiers of Kelvra.rc.
#pragma once

#define IDI_APP_ICON 128
#define IDD_KELVRA_DIALOG 102

#define IDC_WRITE 1000
#define IDC_DEVICE_LIST 1001
#define IDC_CHIP_A 1002
#define IDC_CHIP_B 1003
#define IDC_CHIP_C 1004
#define IDC_IMAGE_PATH 1005
#define IDC_BROWSE 1006
#define IDC_VERIFY 1007
#define IDC_MESSAGES 1008
#define IDC_EEPROM_SIZE 1010
#define IDC_EEPROM_SIZE_LABEL 1011
