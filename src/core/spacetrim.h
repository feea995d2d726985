#pragma once

#include <QString>

namespace pagorra {

// Removes spaces, and only spaces, from both ends: a tab or line break is part of a name or
// a path here, unlike QString::trimmed().
inline QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

} // namespace pagorra
