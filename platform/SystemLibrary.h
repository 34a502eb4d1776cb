// Loading a library of Windows itself, from the system folder only: never
// from the program's folder, the current folder or PATH, where a planted copy
// could be found first. The layer's file dialog (comdlg32), the VT-A pacing
// timer (winmm) and the line's ledger (odbc32, bcrypt) load theirs so, when
// first needed, rather than importing them at every start.
#pragma once

#include <windows.h>

// name: a bare file name such as L"winmm.dll". Null when it does not load.
// Windows 7 may lack LOAD_LIBRARY_SEARCH_SYSTEM32, hence the full path.
inline HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t path[MAX_PATH + 32];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || lstrlenW(name) > 30)
    {
        return nullptr;
    }
    lstrcatW(path, L"\\");
    lstrcatW(path, name);
    return LoadLibraryW(path);
}

// function set to library's export name; false when it has none.
template <class Function> bool ResolveExport(HMODULE library, LPCSTR name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}
