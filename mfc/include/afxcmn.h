// The common controls a window of this layer uses: inline wrappers over
// their messages, adding no state, as thin as the standard controls'. Item
// texts are wide, so a file name the ANSI code page lacks shows whole.
#pragma once

#include <commctrl.h>

#include "afxwin.h"

class CProgressCtrl : public CWnd
{
public:
    void SetRange32(int nLower, int nUpper) { ::SendMessageW(m_hWnd, PBM_SETRANGE32, nLower, nUpper); }
    int SetPos(int nPos) { return static_cast<int>(::SendMessageW(m_hWnd, PBM_SETPOS, nPos, 0)); }
};

class CListCtrl : public CWnd
{
public:
    DWORD SetExtendedStyle(DWORD dwNewStyle)
    {
        return static_cast<DWORD>(::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwNewStyle));
    }
    int InsertColumn(int nCol, LPCWSTR lpszColumnHeading, int nWidth)
    {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<LPWSTR>(lpszColumnHeading);
        column.cx = nWidth;
        return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, nCol, reinterpret_cast<LPARAM>(&column)));
    }
    int InsertItem(int nItem, LPCWSTR lpszItem)
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = nItem;
        item.pszText = const_cast<LPWSTR>(lpszItem);
        return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }
    BOOL SetItemText(int nItem, int nSubItem, LPCWSTR lpszText)
    {
        LVITEMW item = {};
        item.iSubItem = nSubItem;
        item.pszText = const_cast<LPWSTR>(lpszText);
        return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_SETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
    }
    BOOL DeleteAllItems() { return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_DELETEALLITEMS, 0, 0)); }
    int GetItemCount() const { return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }
};
