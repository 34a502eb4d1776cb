// The lock one program holds on a device while it writes or verifies it.
// A mutex belongs to a thread, so other holders are played by other threads.
#include <gtest/gtest.h>

#include <thread>

#include "DeviceLock.h"

namespace
{
bool TakenElsewhere(DWORD deviceKey)
{
    bool taken = false;
    std::thread other([&] {
        DeviceLock lock;
        taken = lock.TryAcquire(deviceKey);
    });
    other.join();
    return taken;
}

TEST(DeviceLock, BusyForOthersUntilReleasedAndOnlyForItsOwnDevice)
{
    DeviceLock lock;
    ASSERT_TRUE(lock.TryAcquire(0x845E0001));
    EXPECT_FALSE(TakenElsewhere(0x845E0001));
    EXPECT_TRUE(TakenElsewhere(0x845E0002));
    lock.Release();
    EXPECT_TRUE(TakenElsewhere(0x845E0001));
}

TEST(DeviceLock, HolderThatDiedLeavesTheDeviceFree)
{
    // The holder's thread ends without releasing, as when its process is killed
    // while another still has the lock open.
    DeviceLock watcher;
    auto* abandoned = new DeviceLock;
    std::thread holder([&] { ASSERT_TRUE(abandoned->TryAcquire(0x845E0003)); });
    holder.join();
    EXPECT_TRUE(watcher.TryAcquire(0x845E0003));
    watcher.Release();
    delete abandoned;
}
}  // namespace
