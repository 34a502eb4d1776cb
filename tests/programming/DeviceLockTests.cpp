// The lock one program holds on a device while it writes or verifies it.
// A mutex belongs to a thread, so other holders are played by other threads.
#include <gtest/gtest.h>

#include <thread>

#include "DeviceLock.h"

namespace
{
bool TakenElsewhere(DWORD deviceKey, bool keepIt = false)
{
    bool taken = false;
    std::thread other(
        [&]
        {
            // Kept, the lock is never released: its thread ends holding it, as a killed holder's does.
            auto* lock = new DeviceLock;
            taken = lock->TryAcquire(deviceKey);
            if (!keepIt)
            {
                delete lock;
            }
        });
    other.join();
    return taken;
}

TEST(DeviceLock, BusyForOthersOnlyOnItsDeviceAndOnlyWhileItsHolderLives)
{
    DeviceLock lock;
    ASSERT_TRUE(lock.TryAcquire(0x845E0001));
    EXPECT_FALSE(TakenElsewhere(0x845E0001));
    EXPECT_TRUE(TakenElsewhere(0x845E0002));
    lock.Release();
    EXPECT_TRUE(TakenElsewhere(0x845E0001, true));
    EXPECT_TRUE(lock.TryAcquire(0x845E0001));
}
}  // namespace
