#include "KelvraDlg.h"

#include "HidNotification.h"

#include <cstring>

#include "afxdlgs.h"

BEGIN_MESSAGE_MAP(CKelvraDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_WRITE, &CKelvraDlg::OnWrite)
    ON_BN_CLICKED(IDC_BROWSE, &CKelvraDlg::OnBrowse)
    ON_BN_CLICKED(IDC_CHIP_A, &CKelvraDlg::OnChipFixedSize)
    ON_BN_CLICKED(IDC_CHIP_B, &CKelvraDlg::OnChipFixedSize)
    ON_BN_CLICKED(IDC_CHIP_C, &CKelvraDlg::OnChipSizeChoice)
    ON_CBN_SELCHANGE(IDC_EEPROM_SIZE, &CKelvraDlg::OnSelchangeEepromSize)
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_VERIFY, &CKelvraDlg::OnVerify)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CKelvraDlg::CKelvraDlg(CWnd* pParent)
    : CDialog(CKelvraDlg::IDD, pParent), DeviceNotifyHandle(nullptr), HidClassGuid(),
      DevicePlatform(&WindowsHidPlatform::Instance())
{
    ImagePath = "";
    ChipFamily = -1;
    AppIcon = AfxGetApp()->LoadIcon(IDI_APP_ICON);
}

CKelvraDlg::~CKelvraDlg() = default;

void CKelvraDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_VERIFY, VerifyButton);
    DDX_Control(pDX, IDC_EEPROM_SIZE_LABEL, EepromSizeLabel);
    DDX_Control(pDX, IDC_WRITE, WriteButton);
    DDX_Control(pDX, IDC_EEPROM_SIZE, EepromSizeCombo);
    DDX_Control(pDX, IDC_MESSAGES, MessageList);
    DDX_Control(pDX, IDC_DEVICE_LIST, DeviceCombo);
    DDX_Text(pDX, IDC_IMAGE_PATH, ImagePath);
    DDX_Radio(pDX, IDC_CHIP_A, ChipFamily);
}

BOOL CKelvraDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetIcon(AppIcon, TRUE);
    SetIcon(AppIcon, FALSE);

    VidText = "";
    PidText = "";
    AutoVerify = 0;
    DevicePlatform->GetHidGuid(&HidClassGuid);
    ReadSettings();
    InitializeCriticalSection(&OperationLock);
    RegisterHidNotification(1, m_hWnd, &DeviceNotifyHandle, HidClassGuid, *DevicePlatform);
    RefreshDeviceList();

    EepromSize = 256;
    ChipFamily = 0;
    std::memset(ImageBuffer, 0, sizeof ImageBuffer);
    DriverLibrary = nullptr;
    EepromSizeCombo.ShowWindow(SW_HIDE);
    EepromSizeLabel.ShowWindow(SW_HIDE);
    EepromSizeCombo.SetCurSel(0);
    WriteTimer = 0;
    VerifyTimer = 0;
    BusyFlag = FALSE;
    UpdateData(FALSE);
    return TRUE;
}

POINT CKelvraDlg::CentredIconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    // C++ division rounds toward zero, as the placement wants.
    return POINT{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

void CKelvraDlg::OnPaint()
{
    if (!IsIconic())
    {
        CWnd::Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const POINT position = CentredIconPosition(rect.right - rect.left, rect.bottom - rect.top, cxIcon, cyIcon);
    dc.DrawIcon(position.x, position.y, AppIcon);
}

HCURSOR CKelvraDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(AppIcon);
}

void CKelvraDlg::OnBrowse()
{
    // An open dialog ignores OFN_OVERWRITEPROMPT; without OFN_HIDEREADONLY it
    // shows its read-only box, as Kelvra's always has.
    CFileDialog fileDialog(TRUE, "hex", nullptr, OFN_OVERWRITEPROMPT, "EERPOM files (*.hex)|*.hex||", nullptr);
    if (fileDialog.DoModal() == IDCANCEL)
    {
        return;
    }
    ImagePath = fileDialog.GetPathName();
    ChosenImagePath = fileDialog.GetPathNameW();
    UpdateData(FALSE);
}

void CKelvraDlg::OnChipFixedSize()
{
    UpdateData(TRUE);
    EepromSizeCombo.ShowWindow(SW_HIDE);
    EepromSizeLabel.ShowWindow(SW_HIDE);
    ImagePath = "";
    UpdateData(FALSE);
}

void CKelvraDlg::OnChipSizeChoice()
{
    UpdateData(TRUE);
    EepromSizeCombo.ShowWindow(SW_SHOWNORMAL);
    EepromSizeLabel.ShowWindow(SW_SHOWNORMAL);
    ImagePath = "";
    UpdateData(FALSE);
}

void CKelvraDlg::OnSelchangeEepromSize()
{
    const int index = EepromSizeCombo.GetCurSel();
    if (index >= 0 && index < 4)
    {
        EepromSize = EepromSizeTable[index];
    }
}

void CKelvraDlg::OnDestroy()
{
    CWnd::OnDestroy();
    RegisterHidNotification(0, m_hWnd, &DeviceNotifyHandle, HidClassGuid, *DevicePlatform);
    DeleteCriticalSection(&OperationLock);
}
