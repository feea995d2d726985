#include "ui/settingsdialogcache.h"

#include "core/settings.h"
#include "generation/thumbnailcache.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pagorra {

namespace {
// A terabyte: more than any disk this program meets would give thumbnails.
constexpr int kMaxLimitMB = 1 << 20;
} // namespace

CacheTab::CacheTab(QWidget *parent, std::function<void()> clear, std::function<qint64()> size)
    : QWidget(parent), m_clear(std::move(clear)), m_size(std::move(size)), m_limit(new QSpinBox(this)),
      m_used(new QLabel(this))
{
    if (!m_clear)
        m_clear = [] { ThumbnailCache::shared().clear(); };
    if (!m_size)
        m_size = [] { return ThumbnailCache::shared().diskBytes(); };
    setObjectName(QStringLiteral("tabCache"));
    m_limit->setObjectName(QStringLiteral("txtCacheLimit"));
    m_limit->setRange(0, kMaxLimitMB);
    m_limit->setSuffix(QStringLiteral(" MB"));
    m_limit->setSpecialValueText(QStringLiteral("None"));
    m_used->setObjectName(QStringLiteral("lblCacheUsed"));
    auto *clearButton = new QPushButton(QStringLiteral("Clear now"), this);
    clearButton->setObjectName(QStringLiteral("cmdClearCache"));

    auto *box = new QGroupBox(QStringLiteral("Thumbnail cache"), this);
    auto *form = new QFormLayout(box);
    form->addRow(QStringLiteral("Room on disk"), m_limit);
    form->addRow(QStringLiteral("In use"), m_used);
    form->addRow(QString(), clearButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Thumbnails are kept so that generating again after a change\n"
                                                "of the page, the title or the margins need not read the photos."),
                                 this));
    layout->addWidget(box);
    layout->addStretch();

    connect(clearButton, &QPushButton::clicked, this, [this] {
        m_clear();
        showSize();
    });
}

void CacheTab::fill(const CacheSettings &cache)
{
    m_limit->setValue(std::clamp(cache.DiskLimitMB, 0, kMaxLimitMB));
    showSize();
}

void CacheTab::apply(CacheSettings &cache) const
{
    cache.DiskLimitMB = m_limit->value();
}

void CacheTab::showSize()
{
    m_used->setText(QLocale().formattedDataSize(m_size()));
}

} // namespace pagorra
