// The application object.
#pragma once

#include "afxwin.h"

class CKelvraApp : public CWinApp
{
public:
    CKelvraApp();

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CKelvraApp theApp;
