#include "core/filenames.h"

#include <QDir>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace pagorra {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF carry the bytes 0x80..0xFF

bool isEscapedByte(char16_t c)
{
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF are not valid).
int validSequenceLength(const unsigned char *s, qsizetype at, qsizetype size)
{
    const unsigned char c = s[at];
    int length;
    char32_t value;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (at + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((s[at + k] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (s[at + k] & 0x3F);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

bool needsEscape(char32_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QByteArray nativePath(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            out.append(QStringView(path).mid(runStart, end - runStart).toUtf8());
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path.at(i).unicode();
        if (!isEscapedByte(c))
            continue;
        // A lone low surrogate: the byte it stands for (a valid pair never starts with one).
        if (i > 0 && QChar::isHighSurrogate(path.at(i - 1).unicode()))
            continue;
        flushRun(i);
        out.append(char(c - kEscapeBase));
        runStart = i + 1;
    }
    flushRun(path.size());
    return out;
}

QString pathFromNative(const QByteArray &bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    QString out;
    out.reserve(size);
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < size) {
        const int length = validSequenceLength(s, i, size);
        if (length > 0) {
            i += length;
            continue;
        }
        out.append(QString::fromUtf8(bytes.constData() + runStart, i - runStart));
        out.append(QChar(char16_t(kEscapeBase + s[i])));
        ++i;
        runStart = i;
    }
    out.append(QString::fromUtf8(bytes.constData() + runStart, size - runStart));
    return out;
}

QStringList argumentsFromNative(int argc, char *const argv[])
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments.append(pathFromNative(QByteArray(argv[i])));
    return arguments;
}

QString displayName(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (isEscapedByte(c) && !(i > 0 && QChar::isHighSurrogate(name.at(i - 1).unicode()))) {
            out += QStringLiteral("\\x") + QString::number(unsigned(c - kEscapeBase), 16).toUpper();
            continue;
        }
        if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\t') {
            out += QStringLiteral("\\t");
        } else if (c == u'\r') {
            out += QStringLiteral("\\r");
        } else if (needsEscape(c)) {
            const QString hex = QString::number(unsigned(c), 16).toUpper();
            out += c < 0x100 ? QStringLiteral("\\x") + hex.rightJustified(2, u'0')
                             : QStringLiteral("\\u") + hex.rightJustified(4, u'0');
        } else {
            out += QChar(c);
        }
    }
    return out;
}

QString absolutePath(const QString &path)
{
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        return QDir::cleanPath(path);
    return QDir::cleanPath(pathFromNative(QByteArray(cwd.get())) + u'/' + path);
}

std::optional<QByteArray> readWholeFile(const QString &path, int &error, qint64 maxBytes)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    QByteArray bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && bytes.size() <= maxBytes)
        bytes.append(buffer, n);
    error = n < 0 ? errno : bytes.size() > maxBytes ? EFBIG : 0;
    ::close(fd);
    if (error != 0)
        return std::nullopt;
    return bytes;
}

} // namespace pagorra
