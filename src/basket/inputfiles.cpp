#include "basket/inputfiles.h"

#include "basket/pathtext.h"

#include <QDir>
#include <QRegularExpression>

namespace pagorra {

namespace {
QString caseInsensitivePattern(const QString &pattern)
{
    QString out;
    out.reserve(pattern.size() * 4);
    for (const QChar c : pattern) {
        const QChar lower = c.toLower();
        const QChar upper = c.toUpper();
        if (lower == upper) {
            out.append(c);
        } else {
            out.append(u'[');
            out.append(lower);
            out.append(upper);
            out.append(u']');
        }
    }
    return out;
}
// One anchored, case-insensitive expression for the whole list, so a listing of a large
// folder compiles it once.
QRegularExpression compilePatternList(const QString &patternList)
{
    QStringList alternatives;
    const QStringList patterns = patternList.split(u';', Qt::SkipEmptyParts);
    for (const QString &pattern : patterns) {
        alternatives.append(QRegularExpression::wildcardToRegularExpression(
            pattern.trimmed(), QRegularExpression::UnanchoredWildcardConversion));
    }
    if (alternatives.isEmpty())
        return QRegularExpression(QStringLiteral("(?!)"));
    return QRegularExpression(QRegularExpression::anchoredPattern(alternatives.join(u'|')),
                              QRegularExpression::CaseInsensitiveOption);
}
} // namespace

QString openFileFilter()
{
    return QStringLiteral("All supported files (*.*)|*.bmp;*.tif;*.tiff;*.gif;*.jpg;*.jpeg;*.jpe;*.png|"
                          "TIF - Tag Image File (*.tif;*.tiff)|*.tif;*.tiff|"
                          "BMP - Windows Bitmap (*.bmp)|*.bmp|"
                          "GIF - CompuServe (*.gif)|*.gif|"
                          "JPG - JPEG Group (*.jpg;*.jpeg;*.jpe)|*.jpg;*.jpeg;*.jpe|"
                          "PNG - Portable Network (*.png)|*.png");
}

QString folderPattern()
{
    return QStringLiteral("*.bmp*;*.tif*;*.tiff*;*.gif*;*.jpg*;*.jpeg*;*.jpe*;*.png*");
}

bool matchesPatternList(const QString &name, const QString &patternList)
{
    return compilePatternList(patternList).match(name).hasMatch();
}

bool isSupportedInputFile(const QString &name)
{
    const QStringList parts = openFileFilter().split(u'|');
    return matchesPatternList(pathFileName(name), parts.value(1));
}

QStringList listFolder(const QString &folder, const QString &patternList)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    const QRegularExpression re = compilePatternList(patternList);
    QStringList matching;
    for (const QString &name : names) {
        if (re.match(name).hasMatch())
            matching.append(name);
    }
    return matching;
}

QStringList fileDialogNameFilters(const QString &filterText)
{
    const QStringList parts = filterText.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            pattern = caseInsensitivePattern(pattern.trimmed());
        filters.append(parts.at(i) + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return filters;
}

} // namespace pagorra
