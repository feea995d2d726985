#include "output/filedialog.h"

#include "core/spacetrim.h"

namespace pagorra {

FileDialog &fileDialog()
{
    static FileDialog record;
    return record;
}

QString stripAtNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

void applySaveAnswer(FileDialog &record, bool confirmed, const QString &fileName, int filterIndex)
{
    if (!confirmed)
        return;
    record.fileName = trimSpaces(stripAtNul(fileName));
    record.filterIndex = filterIndex;
}

} // namespace pagorra
