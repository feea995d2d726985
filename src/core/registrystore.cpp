#include "core/registrystore.h"

#include "core/atomicwrite.h"
#include "core/filenames.h"
#include "core/runtimeerror.h"
#include "core/spacetrim.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

namespace {

constexpr int kTypeString = 1;
constexpr std::int32_t kNameErrorBase = err::ApplicationBase + 1000;
constexpr std::int32_t kStoreErrorBase = err::ApplicationBase + 2000;
// The file holds the user's settings and, in deployments, the report server: private.
constexpr unsigned kNewFileMode = 0600;

const QString kTypeField = QStringLiteral("type");
const QString kDataField = QStringLiteral("data");

QString openForReadText()
{
    return QStringLiteral("Could not open registry section");
}
QString openForWriteText()
{
    return QStringLiteral("Could not open/create registry section");
}
QString setValueText()
{
    return QStringLiteral("Could not set key value");
}

// The table's text, then the file and what is wrong with it, so that the report says what to
// mend: "Could not set key value: '/home/u/.config/pagorra/settings.json': Permission denied".
[[noreturn]] void raiseStore(int code, const QString &text, const QString &path, const QString &reason)
{
    PAGORRA_RAISE(kStoreErrorBase + code, QStringLiteral("%1: '%2': %3").arg(text, displayName(path), reason));
}

void checkAppAndSection(const QString &appName, const QString &section)
{
    if (trimSpaces(appName).isEmpty())
        PAGORRA_RAISE(kNameErrorBase + 0, QStringLiteral("AppName may not be empty"));
    if (trimSpaces(section).isEmpty())
        PAGORRA_RAISE(kNameErrorBase + 1, QStringLiteral("Section may not be empty"));
}

void checkKey(const QString &key)
{
    if (trimSpaces(key).isEmpty())
        PAGORRA_RAISE(kNameErrorBase + 2, QStringLiteral("Key may not be empty"));
}

// Four levels of objects, and every value an object with an integer type; a string value
// carries its text as a string. Anything else means the file is not ours to rewrite.
bool isWellFormed(const QJsonObject &root)
{
    for (const QJsonValue &company : root) {
        if (!company.isObject())
            return false;
        for (const QJsonValue &app : company.toObject()) {
            if (!app.isObject())
                return false;
            for (const QJsonValue &section : app.toObject()) {
                if (!section.isObject())
                    return false;
                for (const QJsonValue &value : section.toObject()) {
                    if (!value.isObject())
                        return false;
                    const QJsonObject v = value.toObject();
                    const QJsonValue type = v.value(kTypeField);
                    if (!type.isDouble() || type.toDouble() != double(type.toInteger()))
                        return false;
                    if (type.toInteger() == kTypeString && !v.value(kDataField).isString())
                        return false;
                }
            }
        }
    }
    return true;
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// Moves an unparsable file out of the way under a name not yet taken; the user's data in it
// stays untouched for whoever wants to recover it.
QString setAside(const QString &path, int &failureCode)
{
    const QString stem =
        path + QStringLiteral(".corrupt-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int n = 2; QFile::exists(target); ++n)
        target = stem + u'-' + QString::number(n);
    if (::rename(encoded(path).constData(), encoded(target).constData()) != 0) {
        failureCode = errno;
        return {};
    }
    return target;
}

// The file's bytes, or nothing when there is no file.
std::optional<QByteArray> readAll(const QString &path, const QString &failureText)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return std::nullopt;
    if (fd < 0) {
        const int code = errno;
        raiseStore(code, failureText, path, errnoText(code));
    }
    QByteArray bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        bytes.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int code = errno;
            ::close(fd);
            raiseStore(code, failureText, path, errnoText(code));
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    return bytes;
}

// Why the bytes are not a settings file, or nothing when they are one.
std::optional<QString> parse(const QByteArray &bytes, QJsonObject &root)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
    if (!document.isObject() || !isWellFormed(document.object()))
        return QStringLiteral("not laid out as company, application, section and typed values");
    root = document.object();
    return std::nullopt;
}

// The parsed file, or nothing when it does not exist. An empty file counts as an empty store.
std::optional<QJsonObject> readDocument(const QString &path, const QString &failureText, bool setAsideWhenUnparsable)
{
    const std::optional<QByteArray> bytes = readAll(path, failureText);
    if (!bytes)
        return std::nullopt;
    QJsonObject root;
    const bool blank = std::all_of(bytes->cbegin(), bytes->cend(), [](char c) { return QChar::isSpace(uchar(c)); });
    if (blank)
        return root;
    const std::optional<QString> problem = parse(*bytes, root);
    if (!problem)
        return root;

    const QString reason = QStringLiteral("not a valid settings file (%1)").arg(*problem);
    if (!setAsideWhenUnparsable)
        raiseStore(EBADMSG, failureText, path, reason + QStringLiteral("; it was left as it is"));
    int failureCode = 0;
    const QString keptAs = setAside(path, failureCode);
    if (keptAs.isEmpty())
        raiseStore(failureCode, failureText, path,
                   reason + QStringLiteral(", and it could not be moved aside: ") + errnoText(failureCode));
    raiseStore(EBADMSG, failureText, path, reason + QStringLiteral("; it was kept as '%1'").arg(displayName(keptAs)));
}

QJsonObject sectionOf(const QJsonObject &root, const QString &appName, const QString &section)
{
    return root.value(RegistryStore::companyKey())
        .toObject()
        .value(trimSpaces(appName))
        .toObject()
        .value(trimSpaces(section))
        .toObject();
}

} // namespace

QString RegistryStore::companyKey()
{
    return QStringLiteral("Software\\Halvorn Imaging");
}
QString RegistryStore::defaultAppName()
{
    return QStringLiteral("Arvok Pagorra");
}

QString RegistryStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/pagorra/settings.json");
}

RegistryStore::RegistryStore() : RegistryStore(defaultPath()) {}

RegistryStore::RegistryStore(QString filePath, QString appName)
    : m_filePath(std::move(filePath)), m_appName(std::move(appName))
{
}

QString RegistryStore::getValue(const QString &section, const QString &key, const QString &defaultValue) const
{
    checkAppAndSection(m_appName, section);
    checkKey(key);
    return readSection(section).value(key, defaultValue);
}

RegistrySection RegistryStore::readSection(const QString &section) const
{
    return readSections({section}).front();
}

QList<RegistrySection> RegistryStore::readSections(const QStringList &sections) const
{
    for (const QString &section : sections)
        checkAppAndSection(m_appName, section);
    const std::optional<QJsonObject> root = readDocument(m_filePath, openForReadText(), !m_readOnly);
    QList<RegistrySection> result;
    for (const QString &section : sections) {
        RegistrySection read;
        read.m_filePath = m_filePath;
        if (root)
            read.m_values = sectionOf(*root, m_appName, section);
        result.append(read);
    }
    return result;
}

QString RegistrySection::value(const QString &key, const QString &defaultValue) const
{
    checkKey(key);
    const QJsonValue value = m_values.value(key);
    if (!value.isObject())
        return defaultValue;
    const QJsonObject v = value.toObject();
    const qint64 type = v.value(kTypeField).toInteger();
    if (type != kTypeString)
        raiseStore(int(type), QStringLiteral("Registry data not a string"), m_filePath,
                   QStringLiteral("the value '%1' is of type %2, not text").arg(displayName(key)).arg(type));
    return v.value(kDataField).toString();
}

void RegistryStore::setValue(const QString &section, const QString &key, const QString &value) const
{
    setValues(section, {{key, value}});
}

void RegistryStore::setValues(const QString &section, const QList<std::pair<QString, QString>> &values) const
{
    setSections({{section, values}});
}

void RegistryStore::setSections(const QList<SectionValues> &sections) const
{
    for (const auto &[section, values] : sections) {
        checkAppAndSection(m_appName, section);
        for (const auto &entry : values)
            checkKey(entry.first);
    }
    if (m_readOnly)
        raiseStore(EROFS, openForWriteText(), m_filePath, QStringLiteral("this program only reads the settings"));

    if (const std::optional<WriteFailure> failure = createFolders(QFileInfo(m_filePath).absolutePath()))
        raiseStore(failure->code, openForWriteText(), m_filePath, failure->reason);
    QJsonObject root = readDocument(m_filePath, openForWriteText(), true).value_or(QJsonObject());
    QJsonObject company = root.value(companyKey()).toObject();
    QJsonObject app = company.value(trimSpaces(m_appName)).toObject();
    for (const auto &[section, values] : sections) {
        QJsonObject sectionObject = app.value(trimSpaces(section)).toObject();
        for (const auto &[key, text] : values)
            sectionObject.insert(key, QJsonObject{{kTypeField, kTypeString}, {kDataField, text}});
        app.insert(trimSpaces(section), sectionObject);
    }
    company.insert(trimSpaces(m_appName), app);
    root.insert(companyKey(), company);

    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (const std::optional<WriteFailure> failure = replaceFileAtomically(m_filePath, bytes, kNewFileMode))
        raiseStore(failure->code, setValueText(), m_filePath, failure->reason);
}

void RegistryStore::removeOrphanedTemporaries() const
{
    if (!m_readOnly)
        removeOrphanedReplacements(m_filePath);
}

QString getRegistryValue(const QString &section, const QString &key, const QString &defaultValue)
{
    return RegistryStore().getValue(section, key, defaultValue);
}

void setRegistryValue(const QString &section, const QString &key, const QString &value)
{
    RegistryStore().setValue(section, key, value);
}

} // namespace pagorra
