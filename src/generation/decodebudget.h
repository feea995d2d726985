#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace pagorra {

// Memory that decodes running at the same time may hold together. Each decode reserves what
// its header says it will cost before it starts and gives it back when it ends, so how many
// run at once follows their size, not the number of threads: a few large progressive JPEGs
// take turns while many small photos decode side by side. Reservations are granted in the
// order they were asked for, so a large one is never overtaken without end. Thread-safe.
class DecodeBudget {
  public:
    explicit DecodeBudget(std::int64_t bytes) : m_total(bytes) {}

    // The budget every picture load of the process shares.
    static DecodeBudget &process();

    // Memory held by a decode until it is released or destroyed.
    class Reservation {
      public:
        Reservation(Reservation &&other) noexcept : m_budget(other.m_budget), m_bytes(other.m_bytes)
        {
            other.m_budget = nullptr;
        }
        Reservation &operator=(Reservation &&) = delete;
        ~Reservation() { release(); }
        void release();

      private:
        friend class DecodeBudget;
        Reservation(DecodeBudget *budget, std::int64_t bytes) : m_budget(budget), m_bytes(bytes) {}
        DecodeBudget *m_budget;
        std::int64_t m_bytes;
    };

    // Waits until `bytes` fit beside what is held, after every earlier request has been
    // granted; nothing, at once, when they can never fit.
    std::optional<Reservation> reserve(std::int64_t bytes);

  private:
    const std::int64_t m_total;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::int64_t m_held = 0;
    std::uint64_t m_nextTicket = 0; // handed to the next request
    std::uint64_t m_serving = 0;    // the request granted next
};

} // namespace pagorra
