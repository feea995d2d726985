#include "generation/decodequeue.h"

#include <chrono>
#include <new>

namespace pagorra {

DecodeQueue::DecodeQueue(QStringList paths, LoadRequest pattern, int threads, int lookAhead, ThumbnailCache *cache)
    : m_paths(std::move(paths)), m_pattern(std::move(pattern)), m_lookAhead(std::max(1, lookAhead)), m_cache(cache)
{
    ensureImageLibraryStarted();
    const int count = std::max(1, std::min(threads, int(m_paths.size())));
    for (int t = 0; t < count; ++t)
        m_workers.emplace_back([this] { work(); });
}

DecodeQueue::~DecodeQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (auto &worker : m_workers)
        worker.join();
}

DecodeQueue::Item DecodeQueue::decode(const LoadRequest &request) const
{
    Item item;
    try {
        item.picture = m_cache ? m_cache->load(request) : loadPicture(request);
    } catch (const RuntimeError &e) {
        item.error = e;
    } catch (const std::bad_alloc &) {
        item.error = RuntimeError(err::OutOfMemory, QStringLiteral("Out of memory"), __LINE__);
    } catch (const std::exception &e) {
        // Reported to the user rather than lost: a worker thread must not end the process.
        item.error =
            RuntimeError(51, QStringLiteral("Internal error: %1").arg(QString::fromLocal8Bit(e.what())), __LINE__);
    }
    return item;
}

void DecodeQueue::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || (m_next < m_paths.size() && m_next < m_taken + m_lookAhead); });
        if (m_stopping)
            return;
        const int index = m_next++;
        LoadRequest request = m_pattern;
        request.path = m_paths.at(index);
        lock.unlock();
        Item item = decode(request);
        lock.lock();
        m_done.emplace(index, std::move(item));
        m_ready.notify_all();
    }
}

DecodeQueue::Item DecodeQueue::take(int index, const std::function<void()> &whileWaiting)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        auto it = m_done.find(index);
        if (it != m_done.end()) {
            Item item = std::move(it->second);
            m_done.erase(it);
            m_taken = index + 1;
            lock.unlock();
            m_wake.notify_all();
            return item;
        }
        if (m_ready.wait_for(lock, std::chrono::milliseconds(40)) == std::cv_status::timeout && whileWaiting) {
            lock.unlock();
            whileWaiting();
            lock.lock();
        }
    }
}

} // namespace pagorra
