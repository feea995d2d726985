#include "batch/terminalprogress.h"

#include <unistd.h>

namespace pagorra {

std::atomic<bool> TerminalProgress::s_cancel{false};

TerminalProgress::TerminalProgress(std::FILE *stream) : m_stream(stream), m_terminal(::isatty(::fileno(stream)) == 1) {}

void TerminalProgress::begin(int maximum)
{
    m_maximum = maximum;
    m_lastDrawn = -1;
    draw(0);
}

void TerminalProgress::setValue(int value)
{
    draw(value);
}

void TerminalProgress::draw(int value)
{
    if (!m_terminal || m_maximum <= 0)
        return;
    constexpr int kWidth = 40;
    const int filled = int(std::int64_t(value) * kWidth / m_maximum);
    const int percent = int(std::int64_t(value) * 100 / m_maximum);
    if (percent == m_lastDrawn)
        return;
    m_lastDrawn = percent;
    char bar[kWidth + 1];
    for (int k = 0; k < kWidth; ++k)
        bar[k] = k < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(m_stream, "\r[%s] %3d%% %d/%d", bar, percent, value, m_maximum);
    std::fflush(m_stream);
}

void TerminalProgress::end()
{
    if (m_terminal && m_maximum > 0) {
        std::fputc('\n', m_stream);
        std::fflush(m_stream);
    }
}

} // namespace pagorra
