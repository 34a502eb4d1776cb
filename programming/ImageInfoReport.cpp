// After a successful VT-A verify: the identity the EEPROM now carries.
#include "Family0Image.h"
#include "KelvraDlg.h"

void CKelvraDlg::ImageInfoReport(const BYTE* readBackBuffer)
{
    for (const std::string& line : Family0Image::IdentityLines(readBackBuffer))
    {
        MessageList.AddString(line.c_str());
    }
}
