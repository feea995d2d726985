#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QSpinBox;

namespace pagorra {

struct CacheSettings;

// The Settings dialog's tab "Cache": how much room the thumbnail cache may take on disk,
// and a button that empties it at once (whatever the dialog is then closed with).
class CacheTab : public QWidget {
    Q_OBJECT
  public:
    // `clear` empties the cache and `size` tells what it takes, in bytes; by default those of
    // the program's own cache.
    explicit CacheTab(QWidget *parent = nullptr, std::function<void()> clear = {}, std::function<qint64()> size = {});

    void fill(const CacheSettings &cache);
    void apply(CacheSettings &cache) const;

  private:
    void showSize();

    std::function<void()> m_clear;
    std::function<qint64()> m_size;
    QSpinBox *m_limit;
    QLabel *m_used;
};

} // namespace pagorra
