// The main dialog. Every part of the program works on its fields: the
// settings reader (settings/), the device list (devices/) and the write and
// verify operations (programming/) are members of this class.
#pragma once

#include "afxwin.h"
#include "DriverLibrary.h"
#include "HidPlatform.h"
#include "resource.h"

// One-shot timers that start the operations outside the button click.
constexpr UINT_PTR WRITE_TIMER_ID = 2084;
constexpr UINT_PTR VERIFY_TIMER_ID = 2085;

class CKelvraDlg : public CDialog
{
public:
    explicit CKelvraDlg(CWnd* pParent = nullptr);
    ~CKelvraDlg() override;

    enum
    {
        IDD = IDD_KELVRA_DIALOG
    };

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
    // The file chosen with the file dialog, by its exact name: ImagePath
    // shows it in the ANSI code page, which may lack some of its characters.
    CStringW ChosenImagePath;

    // Sizes in bytes of the EEPROM size list's rows, in list order.
    static constexpr const UINT32 (&EepromSizeTable)[4] = VtcEepromSizes;

    // Where the minimised icon goes: centred, rounding toward zero.
    static POINT CentredIconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

    // Where the device list and the hot-plug registration reach the
    // platform; the real functions unless a test puts in its own.
    HidPlatform* DevicePlatform;

    void ReadSettings();
    void RefreshDeviceList();
    void WriteOperation();
    void VerifyOperation();
    void ImageInfoReport(const BYTE* readBackBuffer);

    static constexpr UINT OperationTimerDelay = 50;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnWrite();
    afx_msg void OnBrowse();
    afx_msg void OnChipFixedSize();
    afx_msg void OnChipSizeChoice();
    afx_msg void OnSelchangeEepromSize();
    afx_msg void OnDestroy();
    afx_msg void OnVerify();
    afx_msg void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    // Steps every operation shares: the precondition lines, then the lock,
    // BusyFlag, progress line and disabled button; and their undoing.
    bool BeginOperation(CButton& button, LPCSTR progressLine);
    void EndOperation(CButton& button);
    // The frame write and verify share: the steps above around the device
    // lock, the image read into ImageBuffer and one transfer between the chip
    // and buffer (2048 bytes), zeroed first when the chip is read.
    enum class OperationRun
    {
        NotStarted,  // a precondition line ended it
        Failed,
        Transferred,
    };
    OperationRun RunOperation(CButton& button, LPCSTR progressLine, TransferDirection direction, BYTE* buffer);
    bool SelectedDeviceKey(DWORD& deviceKey) const;
    UINT OperationSize() const;
    bool OpenImageFile(CFile& image) const;
    bool ReadImageFile(UINT operationSize);
    bool TransferWithDriverLibrary(TransferDirection direction, DWORD deviceKey, BYTE* buffer, UINT size);
};
