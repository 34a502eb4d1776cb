// Resource identifiers of the bare dialog; its list has the id of Kelvra's
// device list, so the bench polls both programs alike.
#pragma once

#define IDD_BARE_DIALOG 102
#define IDC_BARE_LIST 1001
