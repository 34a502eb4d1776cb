#include "ChipSession.h"

namespace
{
// A unit's firmware may refuse an open just after the unit arrives.
const DWORD OpenRetryPause = 20;

bool IsSet(const std::atomic<bool>* flag)
{
    return flag != nullptr && flag->load();
}
}  // namespace

TransferOutcome LibraryTransfer(const TransferRequest& request, const TransferHooks& hooks)
{
    HMODULE library = nullptr;
    return TransferThroughLibrary(request, library, hooks);
}

bool ChipSession::Lock()
{
    return m_locked || (m_locked = m_lock.TryAcquire(m_setup.device));
}

void ChipSession::Unlock()
{
    m_lock.Release();
    m_locked = false;
}

TransferOutcome ChipSession::Transfer(ChipFamily family, TransferDirection direction, BYTE* buffer, UINT size)
{
    if (IsSet(m_setup.interrupt))
    {
        return {TransferStatus::Interrupted, 0, nullptr};
    }
    m_direction = direction;
    TransferHooks hooks;
    hooks.cancel = m_setup.interrupt;
    if (m_setup.progress != nullptr)
    {
        hooks.progress = OnProgress;
        hooks.context = this;
    }
    const TransferRequest request = {family, direction, m_setup.device, m_setup.window, buffer, size};
    const DWORD firstTry = GetTickCount();
    for (;;)
    {
        const TransferOutcome outcome = m_setup.transfer(request, hooks);
        if (outcome.status != TransferStatus::OpenFailed || GetTickCount() - firstTry >= m_setup.openRetryWindow ||
            IsSet(m_setup.interrupt))
        {
            return outcome;
        }
        Sleep(OpenRetryPause);
    }
}

TransferOutcome ChipSession::ReadBack(ChipFamily family, const std::vector<BYTE>& image, Comparison& comparison)
{
    std::vector<BYTE> chip(image.size(), 0);
    const TransferOutcome outcome =
        Transfer(family, TransferDirection::EepromToBuffer, chip.data(), static_cast<UINT>(chip.size()));
    comparison = outcome.status == TransferStatus::Done ? Compare(image, chip) : Comparison();
    return outcome;
}

void ChipSession::OnProgress(void* session, UINT wordsDone, UINT wordCount)
{
    auto& self = *static_cast<ChipSession*>(session);
    self.m_setup.progress->Progress(self.m_direction, wordsDone, wordCount);
}
