// Write and verify: the buttons arm one-shot timers, and the timer handler
// runs the whole operation through the chip family's driver library.
#include <cstring>

#include "DeviceLock.h"
#include "DriverLibrary.h"
#include "Family0Image.h"
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

// Only a disk file is read: a pipe or a device could block the read for as
// long as its writer likes, or yield bytes that are no image.
bool IsRegularFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Reads up to size bytes; false when a read fails. count says how many came.
bool ReadUpTo(HANDLE file, BYTE* buffer, UINT size, UINT& count)
{
    count = 0;
    while (count < size)
    {
        DWORD read = 0;
        if (!ReadFile(file, buffer + count, size - count, &read, nullptr))
            return false;
        if (read == 0)
            break;
        count += read;
    }
    return true;
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
    if (DriverLibrary != nullptr)
    {
        FreeLibrary(DriverLibrary);
        DriverLibrary = nullptr;
    }
    LeaveCriticalSection(&OperationLock);
    DiscardInputQueuedFor(button.m_hWnd);
    button.EnableWindow(TRUE);
    // Disabling the focused button left the focus nowhere, so Escape, Enter
    // and Tab did nothing; it goes back to the button.
    if (GetFocus() == nullptr && GetActiveWindow() == m_hWnd)
        GotoDlgCtrl(&button);
    BusyFlag = FALSE;
}

bool CKelvraDlg::SelectedDeviceKey(DWORD& deviceKey) const
{
    // Typing into the list's edit field clears the selection; without one
    // there is no device to address.
    const int selection = DeviceCombo.GetCurSel();
    if (selection < 0)
        return false;
    const DWORD_PTR data = DeviceCombo.GetItemData(selection);
    if (data == static_cast<DWORD_PTR>(CB_ERR))
        return false;
    deviceKey = static_cast<DWORD>(data);
    return true;
}

UINT CKelvraDlg::OperationSize() const
{
    if (ChipFamily == 0)
        return 128;
    if (ChipFamily == 1)
        return 256;
    return EepromSize;
}

bool CKelvraDlg::OpenImageFile(CFile& image) const
{
    const UINT flags = CFile::modeRead | CFile::typeBinary;
    // While ImagePath still shows the chosen file, open that file by its own name.
    if (!ChosenImagePath.empty() && ImagePath == CString(ChosenImagePath.c_str()))
        return image.Open(ChosenImagePath.c_str(), flags);
    return image.Open(ImagePath, flags);
}

bool CKelvraDlg::ReadImageFile(UINT operationSize)
{
    std::memset(ImageBuffer, 0, sizeof ImageBuffer);
    CFile image;
    if (!OpenImageFile(image) || !IsRegularFile(image.m_hFile))
        return false;
    // A shorter file leaves the rest zero; a longer one is cut. A file that
    // yields nothing at all is no image, and would wipe the chip.
    UINT count = 0;
    const bool read = ReadUpTo(image.m_hFile, ImageBuffer,
                               operationSize <= sizeof ImageBuffer ? operationSize : sizeof ImageBuffer, count);
    image.Close();
    return read && count > 0;
}

bool CKelvraDlg::TransferWithDriverLibrary(TransferDirection direction, DWORD deviceKey, BYTE* buffer, UINT size)
{
    const LPCSTR libraryName = DriverLibraryName(ChipFamily);
    if (libraryName == nullptr || size > sizeof ImageBuffer)
        return false;
    DriverLibrary = LoadLibraryA(libraryName);
    if (DriverLibrary == nullptr)
        return false;
    if (ChipFamily == 0)
    {
        Family0Exports exports;
        return ResolveFamily0Exports(DriverLibrary, direction, exports) &&
               TransferFamily0(exports, direction, deviceKey, m_hWnd, buffer, size);
    }
    BurnExports exports;
    return ResolveBurnExports(DriverLibrary, ChipFamily, exports) &&
           TransferBurn(exports, ChipFamily, direction, deviceKey, m_hWnd, buffer, size);
}

void CKelvraDlg::WriteOperation()
{
    if (!BeginOperation(WriteButton, KelvraText::Writing))
        return;
    bool success = false;
    DWORD deviceKey = 0;
    DeviceLock deviceLock;
    const UINT size = OperationSize();
    if (SelectedDeviceKey(deviceKey) && deviceLock.TryAcquire(deviceKey) && ReadImageFile(size))
        success = TransferWithDriverLibrary(TransferDirection::BufferToEeprom, deviceKey, ImageBuffer, size);
    EndOperation(WriteButton);
    deviceLock.Release();

    if (!success)
    {
        MessageList.AddString(KelvraText::WriteFail);
        return;
    }
    MessageList.AddString(KelvraText::WriteSuccess);
    if (AutoVerify != 0)
        OnVerify();
}

void CKelvraDlg::VerifyOperation()
{
    if (!BeginOperation(VerifyButton, KelvraText::Verifying))
        return;
    bool success = false;
    DWORD deviceKey = 0;
    const UINT size = OperationSize();
    BYTE ReadBackBuffer[2048];
    DeviceLock deviceLock;
    if (SelectedDeviceKey(deviceKey) && deviceLock.TryAcquire(deviceKey) && ReadImageFile(size))
    {
        std::memset(ReadBackBuffer, 0, sizeof ReadBackBuffer);
        success = TransferWithDriverLibrary(TransferDirection::EepromToBuffer, deviceKey, ReadBackBuffer, size) &&
                  std::memcmp(ReadBackBuffer, ImageBuffer, size) == 0;
    }
    const int family = ChipFamily;
    EndOperation(VerifyButton);
    deviceLock.Release();

    if (!success)
    {
        MessageList.AddString(KelvraText::VerifyFail);
        return;
    }
    MessageList.AddString(KelvraText::VerifySuccess);
    MessageList.AddString("");
    if (family == 0 && Family0Image::HasSignature(ReadBackBuffer))
        ImageInfoReport(ReadBackBuffer);
}
