// The main dialog. Every part of the program works on its fields: the
// settings reader (settings/), the device list (devices/) and the write and
// verify operations (programming/) are members of this class.
#pragma once

#include "afxwin.h"
#include "HidPlatform.h"
#include "resource.h"

class CKelvraDlg : public CDialog
{
public:
    explicit CKelvraDlg(CWnd* pParent = nullptr);
    ~CKelvraDlg() override;

    enum { IDD = IDD_KELVRA_DIALOG };

    // Dialog data, in declaration order.
    CButton VerifyButton;
    CStatic EepromSizeLabel;
    CButton WriteButton;
    CComboBox EepromSizeCombo;
    CListBox MessageList;
    CComboBox DeviceCombo;
    CString ImagePath;
    int ChipFamily;
    HICON AppIcon;
    HDEVNOTIFY DeviceNotifyHandle;
    BYTE ImageBuffer[2048];
    UINT32 EepromSize;
    HMODULE DriverLibrary;
    CString PidText;
    CString VidText;
    UINT WriteTimer;
    UINT VerifyTimer;
    BOOL BusyFlag;
    UINT AutoVerify;
    CRITICAL_SECTION OperationLock;
    GUID HidClassGuid;

    // Sizes in bytes of the EEPROM size list's rows, in list order.
    static const UINT32 EepromSizeTable[4];

    // Where the minimised icon goes: centred, rounding toward zero.
    static POINT CentredIconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

    // Where the device list and the hot-plug registration reach the
    // platform; the real functions unless a test puts in its own.
    HidPlatform* DevicePlatform;

    void ReadSettings();
    void RefreshDeviceList();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBrowse();
    afx_msg void OnChipFixedSize();
    afx_msg void OnChipSizeChoice();
    afx_msg void OnSelchangeEepromSize();
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()
};
