#pragma once

#include "core/runtimeerror.h"
#include "generation/imageloader.h"
#include "generation/thumbnailcache.h"

#include <QStringList>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pagorra {

// Decodes basket entries on worker threads at most `lookAhead` entries ahead of the one
// being taken, so only a few thumbnails wait in memory whatever the basket size. How many
// decode at once also follows their size: each load waits for its share of the process's
// decode budget (see DecodeBudget) before it starts. Given a thumbnail cache, loads go
// through it (not owned; it must outlive the queue).
class DecodeQueue {
  public:
    struct Item {
        std::optional<LoadedPicture> picture;
        std::optional<RuntimeError> error; // an unexpected failure, to be reported by the taker
    };

    DecodeQueue(QStringList paths, LoadRequest pattern, int threads, int lookAhead, ThumbnailCache *cache = nullptr);
    ~DecodeQueue();
    DecodeQueue(const DecodeQueue &) = delete;
    DecodeQueue &operator=(const DecodeQueue &) = delete;

    // The decoded entry `index` (0-based), calling `whileWaiting` now and then until it is ready.
    // Entries must be taken in order.
    Item take(int index, const std::function<void()> &whileWaiting);

  private:
    void work();
    Item decode(const LoadRequest &request) const;

    const QStringList m_paths;
    const LoadRequest m_pattern;
    const int m_lookAhead;
    ThumbnailCache *const m_cache;
    std::mutex m_mutex;
    std::condition_variable m_wake;  // workers: room to look ahead, or stop
    std::condition_variable m_ready; // taker: an item finished
    std::map<int, Item> m_done;
    int m_next = 0;  // next entry a worker will start
    int m_taken = 0; // entries handed out so far
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace pagorra
