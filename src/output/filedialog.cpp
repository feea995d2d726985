#include "output/filedialog.h"

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
    // Only blanks are removed: a tab or newline in a name is the user's business.
    QString name = stripAtNul(fileName);
    qsizetype first = 0;
    while (first < name.size() && name.at(first) == u' ')
        ++first;
    qsizetype last = name.size();
    while (last > first && name.at(last - 1) == u' ')
        --last;
    record.fileName = name.mid(first, last - first);
    record.filterIndex = filterIndex;
}

} // namespace pagorra
