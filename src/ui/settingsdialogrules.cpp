#include "ui/settingsdialogrules.h"

#include <cmath>

namespace pagorra::settingsrules {

Ratio ratioAfterChoosing(int index, Ratio previous)
{
    switch (index) {
    case WideScreen:
        return {1280, 800};
    case TvScreen:
        return {800, 600};
    default:
        return previous;
    }
}

std::optional<int> coupledHeight(int width, Ratio ratio)
{
    if (ratio.width == 0)
        return std::nullopt;
    // Divide first: that order is what makes 140 give exactly 87.5.
    return roundHalfEven(static_cast<double>(width) / ratio.width * ratio.height);
}

std::optional<int> coupledWidth(int height, Ratio ratio)
{
    if (ratio.height == 0)
        return std::nullopt;
    return roundHalfEven(static_cast<double>(height) / ratio.height * ratio.width);
}

std::optional<int> boxNumber(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

int limited(int value, int min, int max)
{
    if (value > max)
        return max;
    if (value < min)
        return min;
    return value;
}

int shownProportion(int stored)
{
    return stored >= NoProportion && stored <= TvScreen ? stored : NoProportion;
}

} // namespace pagorra::settingsrules
