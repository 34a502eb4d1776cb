#include "ScriptedUnits.h"

#include "DeviceBroadcast.h"

namespace
{
ScriptedUnits* running = nullptr;
}  // namespace

long long MicrosecondsNow()
{
    LARGE_INTEGER counter{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return counter.QuadPart / frequency.QuadPart * 1000000 +
           counter.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

ScriptedUnits::ScriptedUnits(int units) : m_units(units)
{
    // One script at a time: a second timer would plug and pull in one wait.
    if (running != nullptr)
    {
        KillTimer(nullptr, running->m_timer);
    }
    running = this;
    m_timer = SetTimer(nullptr, 0, 10, Tick);
}

ScriptedUnits::~ScriptedUnits()
{
    if (running == this)
    {
        KillTimer(nullptr, m_timer);
        running = nullptr;
    }
}

HDEVNOTIFY ScriptedUnits::RegisterNotification(HANDLE recipient, LPVOID filter, DWORD flags)
{
    m_window = static_cast<HWND>(recipient);
    return FakeHidPlatform::RegisterNotification(recipient, filter, flags);
}

void CALLBACK ScriptedUnits::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (running != nullptr && running->m_window != nullptr)
    {
        running->Step();
    }
}

void ScriptedUnits::Step()
{
    if (m_attached)
    {
        if (beforeRemoval)
        {
            beforeRemoval(m_plugged - 1);
        }
        interfaces.clear();
        m_attached = false;
        removals.push_back(MicrosecondsNow());
        Notify(DBT_DEVICEREMOVECOMPLETE);
        if (afterRemoval)
        {
            afterRemoval(m_plugged - 1);
        }
        return;
    }
    if (m_plugged == m_units)
    {
        if (afterLast)
        {
            afterLast();
        }
        return;
    }
    if (mayArrive && !mayArrive(m_plugged))
    {
        return;
    }
    if (beforeArrival)
    {
        beforeArrival(m_plugged);
    }
    interfaces = {FakeDevice(0x845E, 0x0001)};
    m_attached = true;
    ++m_plugged;
    arrivals.push_back(MicrosecondsNow());
    Notify(DBT_DEVICEARRIVAL);
}

void ScriptedUnits::StartAttached()
{
    interfaces = {FakeDevice(0x845E, 0x0001)};
    m_attached = true;
    m_plugged = 1;
}

void ScriptedUnits::Notify(WPARAM event)
{
    DEV_BROADCAST_DEVICEINTERFACE_A record = {};
    record.dbcc_size = sizeof record;
    record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record.dbcc_classguid = HidInterfaceClass;
    SendMessageA(m_window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record));
}
