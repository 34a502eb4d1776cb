// Units that come and go on a production line: while the line waits, each
// tick of a thread timer plugs in the next unit or pulls out the one that is
// in, changing the scripted interfaces and sending the line's window the
// device-interface notification Windows would send. Once every unit is out
// and the line waits for another, the tick calls afterLast: the program
// under test says how its operator stops it.
#pragma once

#include <functional>

#include "FakeHidPlatform.h"

class ScriptedUnits : public FakeHidPlatform
{
public:
    // units: how many are plugged in, one after another, each as 845e/0001.
    explicit ScriptedUnits(int units);
    ~ScriptedUnits() override;

    // Unit n (from 0) is plugged in at the first tick on which this holds.
    std::function<bool(int unit)> mayArrive;
    // Before unit n is plugged in.
    std::function<void(int unit)> beforeArrival;
    // Before unit n is pulled out, while the line waits for that.
    std::function<void(int unit)> beforeRemoval;
    // After unit n was pulled out.
    std::function<void(int unit)> afterRemoval;
    // Once every unit was pulled out and the line waits for another.
    std::function<void()> afterLast;

    // Unit 0 is plugged in already, as when a line starts again.
    void StartAttached();

    HDEVNOTIFY RegisterNotification(HANDLE recipient, LPVOID filter, DWORD flags) override;
    // QueryPerformanceCounter microseconds of each arrival and removal notification.
    std::vector<long long> arrivals;
    std::vector<long long> removals;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Step();
    void Notify(WPARAM event);

    int m_units;
    int m_plugged = 0;
    bool m_attached = false;
    HWND m_window = nullptr;
    UINT_PTR m_timer = 0;
};

long long MicrosecondsNow();
