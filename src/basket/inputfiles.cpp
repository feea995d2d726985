#include "basket/inputfiles.h"

#include "basket/pathtext.h"
#include "core/filenames.h"

#include <QRegularExpression>

#include <atomic>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

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
std::atomic<bool> g_allFormats = false;

// The newer types: a description and the extensions of each, in the filter's order.
struct NewerType {
    const char *description, *extensions;
};
constexpr NewerType kNewerTypes[] = {
    {"HEIC - High Efficiency Image", "heic;heif;hif"},
    {"AVIF - AV1 Image", "avif"},
    {"WEBP - WebP", "webp"},
    {"JXL - JPEG XL", "jxl"},
    {"RAW - Camera RAW", "cr2;cr3;nef;arw;dng;raf;orf;rw2;pef"},
};

// The patterns of the newer types, each extension as "*.ext" followed by `tail`.
QString newerPatterns(const char *extensions, const QString &tail)
{
    QStringList patterns;
    for (const QString &extension : QString::fromLatin1(extensions).split(u';'))
        patterns << QStringLiteral("*.") + extension + tail;
    return patterns.join(u';');
}
} // namespace

void setAllFormatsOffered(bool offered)
{
    g_allFormats = offered;
}

bool allFormatsOffered()
{
    return g_allFormats;
}

QString offeredTypesText()
{
    return allFormatsOffered() ? QStringLiteral("JPEG, PNG, GIF, TIFF, BMP, HEIC, AVIF, WebP, JPEG XL and camera RAW "
                                                "(CR2, CR3, NEF, ARW, DNG, RAF, ORF, RW2, PEF)")
                               : QStringLiteral("JPEG, PNG, GIF, TIFF and BMP");
}

namespace {

QString openFileFilterOffering(bool allFormats)
{
    QString all = QStringLiteral("*.bmp;*.tif;*.tiff;*.gif;*.jpg;*.jpeg;*.jpe;*.png");
    QString newer;
    if (allFormats) {
        for (const NewerType &type : kNewerTypes) {
            const QString patterns = newerPatterns(type.extensions, QString());
            all += u';' + patterns;
            newer += u'|' + QString::fromLatin1(type.description) + QStringLiteral(" (") + patterns +
                     QStringLiteral(")|") + patterns;
        }
    }
    return QStringLiteral("All supported files (*.*)|") + all +
           QStringLiteral("|TIF - Tag Image File (*.tif;*.tiff)|*.tif;*.tiff|"
                          "BMP - Windows Bitmap (*.bmp)|*.bmp|"
                          "GIF - CompuServe (*.gif)|*.gif|"
                          "JPG - JPEG Group (*.jpg;*.jpeg;*.jpe)|*.jpg;*.jpeg;*.jpe|"
                          "PNG - Portable Network (*.png)|*.png") +
           newer;
}

} // namespace

QString openFileFilter()
{
    return openFileFilterOffering(allFormatsOffered());
}

QString folderPattern()
{
    QString pattern = QStringLiteral("*.bmp*;*.tif*;*.tiff*;*.gif*;*.jpg*;*.jpeg*;*.jpe*;*.png*");
    if (allFormatsOffered()) {
        for (const NewerType &type : kNewerTypes)
            pattern += u';' + newerPatterns(type.extensions, QStringLiteral("*"));
    }
    return pattern;
}

bool matchesPatternList(const QString &name, const QString &patternList)
{
    // The expression engine refuses text holding the lone surrogates that carry a name's
    // non-UTF-8 bytes; those bytes never belong to an extension, so U+FFFD stands in for them.
    return compilePatternList(patternList).match(QString::fromUtf8(nativePath(name))).hasMatch();
}

bool isSupportedInputFile(const QString &name)
{
    // Compiled once for each choice: a drop of a hundred thousand files asks about every one.
    static const QRegularExpression classic = compilePatternList(openFileFilterOffering(false).split(u'|').value(1));
    static const QRegularExpression all = compilePatternList(openFileFilterOffering(true).split(u'|').value(1));
    return (allFormatsOffered() ? all : classic).match(QString::fromUtf8(nativePath(pathFileName(name)))).hasMatch();
}

QStringList listFolder(const QString &folder, const QString &patternList, int *error)
{
    // Read through the system rather than QDir, which turns bytes that are not UTF-8 into
    // U+FFFD: such a file could then be neither opened nor told apart from its neighbours.
    const QByteArray native = nativePath(folder);
    DIR *dir = ::opendir(native.constData());
    if (error)
        *error = dir ? 0 : errno;
    if (!dir)
        return {};
    const int dirFd = ::dirfd(dir);
    const QRegularExpression re = compilePatternList(patternList);
    QStringList matching;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') // hidden, as a file manager shows none; also "." and ".."
            continue;
        // Matched as matchesPatternList() does, with U+FFFD for bytes that are not UTF-8.
        if (!re.match(QString::fromUtf8(entry->d_name)).hasMatch())
            continue;
        // A link counts as the file it leads to; a dangling one is left out.
        struct stat st;
        if (entry->d_type != DT_REG && (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)))
            continue;
        matching.append(pathFromNative(QByteArray(entry->d_name)));
    }
    ::closedir(dir);
    // Exact order breaks ties between names that differ only in letter case.
    std::sort(matching.begin(), matching.end(), [](const QString &a, const QString &b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
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
