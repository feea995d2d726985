#pragma once

#include "core/rounding.h"

#include <QString>
#include <cstdint>
#include <limits>
#include <optional>

// The arithmetic of the settings dialog, kept apart from the widgets so it can be checked alone.
namespace pagorra::settingsrules {

// Entries of the ratio list, in list order; the list index is what the record stores.
enum Proportion : int { NoProportion = 0, WideScreen = 1, TvScreen = 2 };

// Limits the dialog keeps.
constexpr int kPageMin = 0;
constexpr int kPageMax = 3000;
constexpr int kMarginMin = 0;
constexpr int kMarginMax = 99;
constexpr int kThumbnailWidthMax = 960;
constexpr int kThumbnailHeightMax = 600;
constexpr int kPageBoxLength = 4;
constexpr int kMarginBoxLength = 2;
constexpr int kThumbnailBoxLength = 3;

// Width and height of the aspect ratio in force; {0, 0} until an entry with a ratio is chosen.
struct Ratio {
    int width = 0;
    int height = 0;
    bool operator==(const Ratio &) const = default;
};

// The ratio after choosing list entry index: 1280 x 800 for "Wide Screen 16:9" (16:10, as the
// program has always coupled it), 800 x 600 for "TV Screen 4:3", otherwise the previous one.
Ratio ratioAfterChoosing(int index, Ratio previous);

// The height that goes with width under ratio, and the width that goes with height; none when
// the ratio is not set.
std::optional<int> coupledHeight(int width, Ratio ratio);
std::optional<int> coupledWidth(int height, Ratio ratio);

// The whole number a box holds (surrounding blanks allowed); none for empty or other text.
std::optional<int> boxNumber(const QString &text);

// The value a box gets when it is left.
int limited(int value, int min, int max);

// The list entry shown for a stored ThumbnailProportion: values the list does not have show
// as "No proportion".
int shownProportion(int stored);

// What "Save" stores for a field from its box: the box's number when it fits the field's
// type, otherwise the record's old value.
template <typename T> T storedFromBox(const QString &text, T old)
{
    const std::optional<int> number = boxNumber(text);
    if (!number || *number < std::numeric_limits<T>::min() || *number > std::numeric_limits<T>::max())
        return old;
    return static_cast<T>(*number);
}

} // namespace pagorra::settingsrules
