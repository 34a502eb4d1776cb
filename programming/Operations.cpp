// Write and verify: the buttons arm one-shot timers, and the timer handler
// runs the whole operation through the chip family's driver library.
#include <cstring>

#include "DeviceLock.h"
#include "DriverLibrary.h"
#include "Family0Image.h"
#include "ImageFile.h"
#include "KelvraDlg.h"
#include "KelvraTexts.h"

namespace
{
// Clicks and keys aimed at the button while the operation blocked the thread
// wait in the queue; once the button is enabled again they would start an
// operation that the button, disabled, never offered.
void DiscardInputQueuedFor(HWND button)
{
    MSG message;
    while (PeekMessageA(&message, button, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
    {
    }
    while (PeekMessageA(&message, button, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
    {
    }
}
}  // namespace

void CKelvraDlg::OnWrite()
{
    WriteTimer = static_cast<UINT>(SetTimer(WRITE_TIMER_ID, OperationTimerDelay, nullptr));
}

void CKelvraDlg::OnVerify()
{
    VerifyTimer = static_cast<UINT>(SetTimer(VERIFY_TIMER_ID, OperationTimerDelay, nullptr));
}

void CKelvraDlg::OnTimer(UINT_PTR nIDEvent)
{
    // While an operation runs its timer stays armed, so it is served afterwards.
    if (!BusyFlag)
    {
        if (nIDEvent == WriteTimer)
        {
            KillTimer(WriteTimer);
            WriteOperation();
        }
        if (nIDEvent == VerifyTimer)
        {
            KillTimer(VerifyTimer);
            VerifyOperation();
        }
    }
    CWnd::Default();
}

bool CKelvraDlg::BeginOperation(CButton& button, LPCSTR progressLine)
{
    MessageList.ResetContent();
    MessageList.UpdateWindow();
    if (DeviceCombo.GetCount() == 0)
    {
        MessageList.AddString(KelvraText::NoDevice);
        return false;
    }
    if (ImagePath.IsEmpty())
    {
        MessageList.AddString(KelvraText::NoImage);
        return false;
    }
    EnterCriticalSection(&OperationLock);
    BusyFlag = TRUE;
    MessageList.AddString(progressLine);
    MessageList.UpdateWindow();
    button.EnableWindow(FALSE);
    return true;
}

void CKelvraDlg::EndOperation(CButton& button)
{
    LeaveCriticalSection(&OperationLock);
    DiscardInputQueuedFor(button.m_hWnd);
    button.EnableWindow(TRUE);
    // Disabling the focused button left the focus nowhere, so Escape, Enter
    // and Tab did nothing; it goes back to the button.
    if (GetFocus() == nullptr && GetActiveWindow() == m_hWnd)
    {
        GotoDlgCtrl(&button);
    }
    BusyFlag = FALSE;
}

bool CKelvraDlg::SelectedDeviceKey(DWORD& deviceKey) const
{
    // Typing into the list's edit field clears the selection; without one
    // there is no device to address.
    const int selection = DeviceCombo.GetCurSel();
    if (selection < 0)
    {
        return false;
    }
    const DWORD_PTR data = DeviceCombo.GetItemData(selection);
    if (data == static_cast<DWORD_PTR>(CB_ERR))
    {
        return false;
    }
    deviceKey = static_cast<DWORD>(data);
    return true;
}

UINT CKelvraDlg::OperationSize() const
{
    ::ChipFamily family;
    return ChipFamilyFromIndex(ChipFamily, family) ? OperationSizeOf(family, EepromSize) : EepromSize;
}

bool CKelvraDlg::OpenImageFile(CFile& image) const
{
    const UINT flags = CFile::modeRead | CFile::typeBinary;
    // While ImagePath still shows the chosen file, open that file by its own name.
    const bool chosen = !ChosenImagePath.IsEmpty() && ImagePath == CString(ChosenImagePath);
    return image.Open(ExtendedLengthPath(chosen ? ChosenImagePath : CStringW(ImagePath)).data(), flags);
}

bool CKelvraDlg::ReadImageFile(UINT operationSize)
{
    std::memset(ImageBuffer, 0, sizeof ImageBuffer);
    CFile image;
    if (!OpenImageFile(image))
    {
        return false;
    }
    const ImageRead read =
        ReadImage(image.m_hFile, ImageBuffer, operationSize <= sizeof ImageBuffer ? operationSize : sizeof ImageBuffer);
    image.Close();
    return read == ImageRead::Read;
}

bool CKelvraDlg::TransferWithDriverLibrary(TransferDirection direction, DWORD deviceKey, BYTE* buffer, UINT size)
{
    ::ChipFamily family;
    if (!ChipFamilyFromIndex(ChipFamily, family) || size > sizeof ImageBuffer)
    {
        return false;
    }
    const TransferRequest request = {family, direction, deviceKey, m_hWnd, buffer, size};
    return TransferThroughLibrary(request, DriverLibrary).status == TransferStatus::Done;
}

CKelvraDlg::OperationRun CKelvraDlg::RunOperation(CButton& button, LPCSTR progressLine, TransferDirection direction,
                                                  BYTE* buffer)
{
    if (!BeginOperation(button, progressLine))
    {
        return OperationRun::NotStarted;
    }
    bool transferred = false;
    DWORD deviceKey = 0;
    DeviceLock deviceLock;
    const UINT size = OperationSize();
    if (SelectedDeviceKey(deviceKey) && deviceLock.TryAcquire(deviceKey) && ReadImageFile(size))
    {
        // What the chip does not send stays zero.
        if (direction == TransferDirection::EepromToBuffer)
        {
            std::memset(buffer, 0, sizeof ImageBuffer);
        }
        transferred = TransferWithDriverLibrary(direction, deviceKey, buffer, size);
    }
    EndOperation(button);
    deviceLock.Release();
    return transferred ? OperationRun::Transferred : OperationRun::Failed;
}

void CKelvraDlg::WriteOperation()
{
    const OperationRun run =
        RunOperation(WriteButton, KelvraText::Writing, TransferDirection::BufferToEeprom, ImageBuffer);
    if (run == OperationRun::NotStarted)
    {
        return;
    }
    if (run == OperationRun::Failed)
    {
        MessageList.AddString(KelvraText::WriteFail);
        return;
    }
    MessageList.AddString(KelvraText::WriteSuccess);
    if (AutoVerify != 0)
    {
        OnVerify();
    }
}

void CKelvraDlg::VerifyOperation()
{
    BYTE ReadBackBuffer[sizeof ImageBuffer];
    const OperationRun run =
        RunOperation(VerifyButton, KelvraText::Verifying, TransferDirection::EepromToBuffer, ReadBackBuffer);
    if (run == OperationRun::NotStarted)
    {
        return;
    }
    if (run == OperationRun::Failed || std::memcmp(ReadBackBuffer, ImageBuffer, OperationSize()) != 0)
    {
        MessageList.AddString(KelvraText::VerifyFail);
        return;
    }
    MessageList.AddString(KelvraText::VerifySuccess);
    MessageList.AddString("");
    if (ChipFamily == 0 && Family0Image::HasSignature(ReadBackBuffer))
    {
        ImageInfoReport(ReadBackBuffer);
    }
}
