#pragma once

#include <windows.h>

namespace emulator {

// The device a library has open between its open and close calls. One per loaded library, like
// the single device handle of a hardware driver; Kelvra calls a library from one thread only.
class DeviceSession {
public:
    explicit constexpr DeviceSession(const char* libraryName) : libraryName_(libraryName) {}

    // Replaces any open device, also when the new one does not open. Opens only a present
    // device whose vendor identifier agrees with its DeviceKey, with all reserved arguments zero
    // and no FailOpen setting.
    bool Open(DWORD vendorId, DWORD deviceKey, bool reservedArgumentsAreZero);
    // False when nothing was open.
    bool Close();

    bool IsOpen() const { return isOpen_; }
    DWORD DeviceKey() const { return deviceKey_; }
    const char* LibraryName() const { return libraryName_; }

private:
    const char* libraryName_;
    bool isOpen_ = false;
    DWORD deviceKey_ = 0;
};

}  // namespace emulator
