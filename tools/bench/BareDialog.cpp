// The baseline for Kelvra's start-up: a plain dialog of the same build whose
// device list (the same control) is filled with one line at initialisation.
#include <windows.h>

#include "BareDialog.h"

namespace
{
INT_PTR CALLBACK BareDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, IDC_BARE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("VID_845E&PID_0001"));
        SendDlgItemMessageA(dialog, IDC_BARE_LIST, CB_SETCURSEL, 0, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
        {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return static_cast<int>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BARE_DIALOG), nullptr, BareDialogProcedure, 0));
}
