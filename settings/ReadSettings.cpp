// The settings file "./<application name>.ini", section KELVRA: which vendor
// and product identifiers the device list shows, and whether a verify follows
// every successful write. Read once at start, never written.
#include "KelvraDlg.h"

void CKelvraDlg::ReadSettings()
{
    CString settingsPath;
    settingsPath.Format("./%s.ini", AfxGetApp()->m_pszAppName);

    char value[260];
    if (GetPrivateProfileStringA("KELVRA", "VID", "", value, sizeof value, settingsPath) != 0)
    {
        VidText = value;
    }
    if (GetPrivateProfileStringA("KELVRA", "PID", "", value, sizeof value, settingsPath) != 0)
    {
        PidText = value;
    }
    AutoVerify = GetPrivateProfileIntA("KELVRA", "AUTOVERIFY", 0, settingsPath);
}
