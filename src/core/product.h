#pragma once

#include <QString>

namespace pagorra {

// The product title: the main window's caption and the title of the program's messages.
inline QString productTitle()
{
    return QStringLiteral("Arvok Pagorra");
}

} // namespace pagorra
