#include "generation/decodebudget.h"

#include "generation/decodelimits.h"

namespace pagorra {

DecodeBudget &DecodeBudget::process()
{
    static DecodeBudget budget(limits::kDecodeBudget);
    return budget;
}

std::optional<DecodeBudget::Reservation> DecodeBudget::reserve(std::int64_t bytes)
{
    if (bytes > m_total)
        return std::nullopt;
    std::unique_lock lock(m_mutex);
    const std::uint64_t ticket = m_nextTicket++;
    m_changed.wait(lock, [&] { return m_serving == ticket && m_held + bytes <= m_total; });
    m_held += bytes;
    ++m_serving;
    lock.unlock();
    m_changed.notify_all();
    return Reservation(this, bytes);
}

void DecodeBudget::Reservation::release()
{
    if (!m_budget)
        return;
    {
        std::lock_guard lock(m_budget->m_mutex);
        m_budget->m_held -= m_bytes;
    }
    m_budget->m_changed.notify_all();
    m_budget = nullptr;
}

} // namespace pagorra
