// The station's window: the large panel, the progress bar, the run's
// figures, the field a scanner types into, the last rows of the log, and
// Start and Stop. The line runs on a thread of its own (StationLine); this
// window counts the attached units when Windows says a device came or went,
// and shows the line's events as they come.
#pragma once

#include "HeldLog.h"
#include "HidPlatform.h"
#include "StationLine.h"
#include "StationPanel.h"
#include "StationResource.h"
#include "StationSetup.h"
#include "afxcmn.h"
#include "afxwin.h"

class CStationDlg : public CDialog
{
public:
    // problem: why setup cannot be used; empty when it can.
    CStationDlg(const StationSetup& setup, const std::string& problem, CWnd* pParent = nullptr);

    enum
    {
        IDD = IDD_STATION_DIALOG
    };

    // Where the unit count and the hot-plug registration reach the platform;
    // the real functions unless a test or the bench puts in its own.
    HidPlatform* DevicePlatform;

    const StationPanel& Panel() const { return m_panel; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Enter: a scanned serial, when the scan field has the focus.
    void OnOK() override;
    // Escape does not end a line: closing the window does, after the unit.
    void OnCancel() override {}

    afx_msg void OnStart();
    afx_msg void OnStop();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnClose(WPARAM, LPARAM);
    afx_msg LRESULT OnEndSession(WPARAM ending, LPARAM);
    afx_msg LRESULT OnDeviceChange(WPARAM event, LPARAM record);
    afx_msg LRESULT OnDrawItem(WPARAM id, LPARAM item);
    afx_msg LRESULT OnLineEvents(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    void LayOut();
    void MakeFonts();
    void ShowPanel();
    void ShowLogRows();
    void CountUnits();
    void LineEnded();
    void FocusScanField();

    StationSetup m_setup;
    std::string m_problem;
    StationPanel m_panel;
    StationLine m_line;
    HeldLog m_heldLog;
    bool m_closing = false;
    PanelTone m_shownTone = PanelTone::Neutral;
    HICON m_icon;
    HDEVNOTIFY m_notification = nullptr;
    GUID m_hidClass{};
    CFont m_panelFont;
    CFont m_detailFont;
    CProgressCtrl m_progress;
    CListCtrl m_rows;
    CWnd m_scan;
    CButton m_start;
    CButton m_stop;
};
