#include "StationDlg.h"

#include <algorithm>

#include "HidNotification.h"
#include "Joined.h"
#include "LogRows.h"
#include "WideText.h"

namespace
{
const UINT WM_STATION_EVENTS = WM_APP + 1;
const UINT_PTR LookTimer = 1;
// A notification may be lost; while a unit or its removal is awaited, the
// devices are counted again this often.
const UINT LookAgainMilliseconds = 1000;
const UINT_PTR BarTimer = 2;
// The bar moves on about three words at a time: smooth enough to watch.
const UINT BarMilliseconds = 60;
const size_t ShownRows = 50;
const char* const NoUnit = "\xE2\x80\x93";

struct Colours
{
    COLORREF background;
    COLORREF text;
};

// In the order of PanelTone: each paired with the state's text.
const Colours ToneColours[] = {
    {RGB(224, 224, 224), RGB(0, 0, 0)},       // neutral
    {RGB(21, 101, 192), RGB(255, 255, 255)},  // working
    {RGB(46, 125, 50), RGB(255, 255, 255)},   // good
    {RGB(198, 40, 40), RGB(255, 255, 255)},   // bad
    {RGB(249, 168, 37), RGB(0, 0, 0)},        // warning
};

void Play(PanelSound sound)
{
    const UINT types[] = {0, MB_ICONASTERISK, MB_ICONHAND, MB_ICONEXCLAMATION, MB_ICONQUESTION};
    if (sound != PanelSound::None)
    {
        MessageBeep(types[static_cast<int>(sound)]);
    }
}

// Sets a control's text unless it holds it already, which would only flicker.
void SetText(HWND dialog, int id, const std::string& text)
{
    const std::vector<wchar_t> wide = WideFromUtf8(text);
    wchar_t shown[2048];
    if (GetDlgItemTextW(dialog, id, shown, 2048) == 0 || wcscmp(shown, wide.data()) != 0)
    {
        SetDlgItemTextW(dialog, id, wide.data());
    }
}

std::string FileNameOf(const std::string& path)
{
    return path.substr(path.find_last_of("\\/") + 1);
}

bool ChangesTheLog(LineEvent::Kind kind)
{
    using Kind = LineEvent::Kind;
    return kind == Kind::Programming || kind == Kind::Passed || kind == Kind::Failed || kind == Kind::Voided ||
           kind == Kind::Ended;
}
}  // namespace

BEGIN_MESSAGE_MAP(CStationDlg, CDialog)
    ON_BN_CLICKED(IDC_START, &CStationDlg::OnStart)
    ON_BN_CLICKED(IDC_STOP, &CStationDlg::OnStop)
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_CLOSE, &CStationDlg::OnClose)
    ON_MESSAGE(WM_ENDSESSION, &CStationDlg::OnEndSession)
    ON_MESSAGE(WM_DEVICECHANGE, &CStationDlg::OnDeviceChange)
    ON_MESSAGE(WM_DRAWITEM, &CStationDlg::OnDrawItem)
    ON_MESSAGE(WM_STATION_EVENTS, &CStationDlg::OnLineEvents)
END_MESSAGE_MAP()

CStationDlg::CStationDlg(const StationSetup& setup, const std::string& problem, CWnd* pParent)
    : CDialog(IDD, pParent), DevicePlatform(&WindowsHidPlatform::Instance()), m_setup(setup), m_problem(problem),
      m_panel(setup.family), m_icon(AfxGetApp()->LoadIcon(IDI_STATION_ICON))
{
}

void CStationDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_LOG_ROWS, m_rows);
    DDX_Control(pDX, IDC_SCAN, m_scan);
    DDX_Control(pDX, IDC_START, m_start);
    DDX_Control(pDX, IDC_STOP, m_stop);
}

BOOL CStationDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetIcon(m_icon, TRUE);
    SetIcon(m_icon, FALSE);
    MakeFonts();
    LayOut();
    const bool serials = m_setup.family == ChipFamily::A;
    SetText(m_hWnd, IDC_NEXT_LABEL, serials ? "Next serial:" : "Next unit:");
    if (m_problem.empty())
    {
        // Named for what it runs: its log, or its series on the shared ledger.
        const std::string running = m_setup.ledgerSeries.empty() ? FileNameOf(m_setup.log) : m_setup.ledgerSeries;
        ::SetWindowTextW(m_hWnd, WideFromUtf8(Joined({"Kelvra Station - ", running})).data());
        SetText(m_hWnd, IDC_SETUP, DescribeSetup(m_setup));
        // Shortened in its middle where it is long: the folder's start and the file's name show.
        // A series of the shared ledger has no log: the set-up above names its place.
        SetText(m_hWnd, IDC_SETUP_LOG, m_setup.log.empty() ? std::string() : Joined({"Log: ", m_setup.log}));
        std::vector<BYTE> image;
        const std::string imageProblem = ReadImage(m_setup, image);
        if (!imageProblem.empty())
        {
            m_panel.Refuse(imageProblem);
        }
    }
    else
    {
        m_panel.Refuse(m_problem);
        SetText(m_hWnd, IDC_SETUP, "KelvraStation --help lists the set-up's options.");
    }
    m_start.EnableWindow(m_problem.empty());
    DevicePlatform->GetHidGuid(&m_hidClass);
    RegisterHidNotification(1, m_hWnd, &m_notification, m_hidClass, *DevicePlatform);
    SetTimer(LookTimer, LookAgainMilliseconds, nullptr);
    SetTimer(BarTimer, BarMilliseconds, nullptr);
    ShowPanel();
    ShowLogRows();
    if (m_setup.scan)
    {
        GotoDlgCtrl(&m_scan);
    }
    else
    {
        GotoDlgCtrl(&m_start);
    }
    return FALSE;
}

// The serial field shows only when serials are scanned; the list takes its
// place otherwise. The detail column takes the width the others leave.
void CStationDlg::LayOut()
{
    HWND label = ::GetDlgItem(m_hWnd, IDC_SCAN_LABEL);
    const int shown = m_setup.scan ? SW_SHOW : SW_HIDE;
    m_scan.ShowWindow(shown);
    ::ShowWindow(label, shown);
    RECT list{};
    ::GetWindowRect(m_rows.m_hWnd, &list);
    if (!m_setup.scan)
    {
        RECT field{};
        ::GetWindowRect(m_scan.m_hWnd, &field);
        list.top = field.top;
    }
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&list), 2);
    ::MoveWindow(m_rows.m_hWnd, list.left, list.top, list.right - list.left, list.bottom - list.top, FALSE);
    m_rows.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    RECT client{};
    ::GetClientRect(m_rows.m_hWnd, &client);
    const int widths[] = {MulDiv(client.right, 23, 100), MulDiv(client.right, 14, 100), MulDiv(client.right, 11, 100)};
    const wchar_t* const columns[] = {L"Time", m_setup.family == ChipFamily::A ? L"Serial" : L"Unit", L"Result",
                                      L"Detail"};
    for (int column = 0; column < 3; ++column)
    {
        m_rows.InsertColumn(column, columns[column], widths[column]);
    }
    m_rows.InsertColumn(3, columns[3],
                        client.right - widths[0] - widths[1] - widths[2] - GetSystemMetrics(SM_CXVSCROLL));
}

void CStationDlg::MakeFonts()
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)), sizeof font, &font);
    HDC screen = ::GetDC(m_hWnd);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(m_hWnd, screen);
    // Large enough to read at arm's length and more.
    font.lfHeight = -MulDiv(20, dpi, 72);
    font.lfWeight = FW_BOLD;
    m_panelFont.CreateFontIndirect(&font);
    font.lfHeight = -MulDiv(9, dpi, 72);
    font.lfWeight = FW_NORMAL;
    m_detailFont.CreateFontIndirect(&font);
}

void CStationDlg::OnStart()
{
    if (!m_problem.empty() || m_line.Running())
    {
        return;
    }
    std::vector<BYTE> image;
    const std::string problem =
        m_heldLog.Gone(m_setup.log)
            ? Joined({"the log ", m_setup.log,
                      " is gone since this window used it (renamed, moved or deleted): put it back to go on with its "
                      "series. A new log would give its serials again."})
            : ReadImage(m_setup, image);
    if (!problem.empty())
    {
        m_panel.Refuse(problem);
        Play(PanelSound::Fail);
        ShowPanel();
        return;
    }
    m_panel.Begin();
    m_closing = false;
    CountUnits();
    if (!m_line.Start(m_setup, image, m_hWnd, WM_STATION_EVENTS))
    {
        m_panel.Refuse("the line's thread could not be started");
        ShowPanel();
        return;
    }
    m_start.EnableWindow(FALSE);
    m_stop.EnableWindow(TRUE);
    ShowPanel();
    if (m_setup.scan)
    {
        FocusScanField();
    }
    else
    {
        GotoDlgCtrl(&m_stop);
    }
}

void CStationDlg::OnStop()
{
    if (!m_line.Running())
    {
        return;
    }
    m_line.Stop();
    m_panel.Stopping(false);
    m_stop.EnableWindow(FALSE);
    // The disabled button had the focus: a scan typed next must land somewhere that answers.
    if (m_setup.scan)
    {
        FocusScanField();
    }
    else
    {
        GotoDlgCtrl(&m_rows);
    }
    ShowPanel();
}

LRESULT CStationDlg::OnClose(WPARAM, LPARAM)
{
    if (!m_line.Running())
    {
        EndDialog(IDCANCEL);
        return 0;
    }
    // The unit in hand is finished and logged first; the line's end closes the window.
    m_closing = true;
    m_line.Stop();
    m_panel.Stopping(true);
    m_start.EnableWindow(FALSE);
    m_stop.EnableWindow(FALSE);
    ShowPanel();
    return 0;
}

LRESULT CStationDlg::OnEndSession(WPARAM ending, LPARAM)
{
    if (ending)
    {
        // Windows ends the program soon: stop even the unit in hand, between words.
        m_line.StopNow();
        m_line.Join(5000);
    }
    return 0;
}

void CStationDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == BarTimer && m_panel.State() == PanelState::Programming)
    {
        m_panel.Moved(m_line.WordsMoved(), m_line.WordsInAll());
        m_progress.SetRange32(0, static_cast<int>(m_panel.ProgressRange()));
        m_progress.SetPos(static_cast<int>(m_panel.Progress()));
    }
    // After the line's end too, until the unit it was done with is removed.
    if (nIDEvent == LookTimer && m_panel.WaitsForDevices())
    {
        CountUnits();
    }
}

void CStationDlg::OnDestroy()
{
    CWnd::OnDestroy();
    KillTimer(LookTimer);
    KillTimer(BarTimer);
    RegisterHidNotification(0, m_hWnd, &m_notification, m_hidClass, *DevicePlatform);
    m_line.StopNow();
    m_line.Join(10000);
}

LRESULT CStationDlg::OnDeviceChange(WPARAM event, LPARAM record)
{
    if (IsHidInterfaceChange(WM_DEVICECHANGE, event, record, m_hidClass))
    {
        CountUnits();
    }
    return TRUE;
}

void CStationDlg::CountUnits()
{
    const size_t count = CountAttached(m_setup.device, *DevicePlatform);
    m_line.Attached(count);
    if (m_panel.Attached(count))
    {
        ShowPanel();
    }
}

void CStationDlg::OnOK()
{
    if (!m_setup.scan || ::GetFocus() != m_scan.m_hWnd)
    {
        return;
    }
    wchar_t text[256] = {};
    ::GetWindowTextW(m_scan.m_hWnd, text, 256);
    ::SetWindowTextW(m_scan.m_hWnd, L"");
    if (text[0] == L'\0')
    {
        return;  // an Enter on its own
    }
    if (m_line.Running() && m_panel.TakesScans())
    {
        m_line.Scanned(Utf8FromWide(text));
        return;
    }
    Play(m_panel.ScanRefused());
    ShowPanel();
}

LRESULT CStationDlg::OnLineEvents(WPARAM, LPARAM)
{
    bool logChanged = false;
    bool ended = false;
    for (const LineEvent& event : m_line.TakeEvents())
    {
        // A series of the shared ledger has no log to hold.
        if (event.kind == LineEvent::Kind::Opened && !m_setup.log.empty())
        {
            m_heldLog.Hold(m_setup.log);
        }
        Play(m_panel.Apply(event));
        logChanged = logChanged || ChangesTheLog(event.kind);
        ended = ended || event.kind == LineEvent::Kind::Ended;
    }
    ShowPanel();
    // The result is seen before the list is read again.
    ::UpdateWindow(::GetDlgItem(m_hWnd, IDC_PANEL));
    if (logChanged)
    {
        ShowLogRows();
    }
    if (ended)
    {
        LineEnded();
    }
    return 0;
}

void CStationDlg::LineEnded()
{
    if (m_closing)
    {
        EndDialog(IDCANCEL);
        return;
    }
    m_start.EnableWindow(TRUE);
    m_stop.EnableWindow(FALSE);
    if (m_setup.scan)
    {
        FocusScanField();
    }
    else
    {
        GotoDlgCtrl(&m_start);
    }
}

void CStationDlg::FocusScanField()
{
    GotoDlgCtrl(&m_scan);
}

void CStationDlg::ShowPanel()
{
    SetText(m_hWnd, IDC_PANEL, m_panel.Text());
    SetText(m_hWnd, IDC_DETAIL, m_panel.Detail());
    // The colour may change while the text stays.
    if (m_panel.Tone() != m_shownTone)
    {
        m_shownTone = m_panel.Tone();
        ::InvalidateRect(::GetDlgItem(m_hWnd, IDC_PANEL), nullptr, FALSE);
        ::InvalidateRect(::GetDlgItem(m_hWnd, IDC_DETAIL), nullptr, FALSE);
    }
    m_progress.SetRange32(0, static_cast<int>(m_panel.ProgressRange()));
    m_progress.SetPos(static_cast<int>(m_panel.Progress()));
    SetText(m_hWnd, IDC_NEXT_UNIT, m_panel.NextUnit().empty() ? NoUnit : m_panel.NextUnit());
    SetText(m_hWnd, IDC_PASSED, std::to_string(m_panel.Passed()));
    SetText(m_hWnd, IDC_FAILED, std::to_string(m_panel.Failed()));
    SetText(m_hWnd, IDC_VOID, std::to_string(m_panel.Voided()));
}

void CStationDlg::ShowLogRows()
{
    if (!m_problem.empty())
    {
        return;
    }
    const std::vector<LogRow> rows = LastLogRows(m_setup.log, ShownRows);
    m_rows.SendMessage(WM_SETREDRAW, FALSE);
    m_rows.DeleteAllItems();
    for (size_t index = 0; index < rows.size(); ++index)
    {
        const int item = static_cast<int>(index);
        const LogRow& row = rows[index];
        // 2026-12-07T10:30:12+01:00 as 2026-12-07 10:30:12: the offset is the station's own.
        std::string time = row.time.substr(0, 19);
        std::replace(time.begin(), time.end(), 'T', ' ');
        m_rows.InsertItem(item, WideFromUtf8(time).data());
        m_rows.SetItemText(item, 1, WideFromUtf8(row.unit).data());
        m_rows.SetItemText(item, 2, WideFromUtf8(row.result).data());
        m_rows.SetItemText(item, 3, WideFromUtf8(row.detail).data());
    }
    m_rows.SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_rows.m_hWnd, nullptr, TRUE);
}

LRESULT CStationDlg::OnDrawItem(WPARAM id, LPARAM item)
{
    if (id != IDC_PANEL && id != IDC_DETAIL)
    {
        return Default();
    }
    const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(item);
    const Colours& colours = ToneColours[static_cast<int>(m_panel.Tone())];
    HBRUSH background = CreateSolidBrush(colours.background);
    FillRect(draw.hDC, &draw.rcItem, background);
    DeleteObject(background);
    wchar_t text[2048] = {};
    ::GetWindowTextW(draw.hwndItem, text, 2048);
    const HGDIOBJ previousFont = SelectObject(draw.hDC, id == IDC_PANEL ? m_panelFont : m_detailFont);
    SetBkMode(draw.hDC, TRANSPARENT);
    SetTextColor(draw.hDC, colours.text);
    RECT area = draw.rcItem;
    InflateRect(&area, -8, -3);
    const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    // The main text sits in the middle of the panel, the detail at its top.
    if (id == IDC_PANEL)
    {
        RECT needed = area;
        DrawTextW(draw.hDC, text, -1, &needed, format | DT_CALCRECT);
        const int spare = (area.bottom - area.top) - (needed.bottom - needed.top);
        area.top += spare > 0 ? spare / 2 : 0;
    }
    DrawTextW(draw.hDC, text, -1, &area, format);
    SelectObject(draw.hDC, previousFont);
    return TRUE;
}
