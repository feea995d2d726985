#include "core/registrystore.h"

#include "core/runtimeerror.h"
#include "core/spacetrim.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

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

[[noreturn]] void raiseStore(int code, const QString &description)
{
    PAGORRA_RAISE(kStoreErrorBase + code, description);
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

// The parsed file, or nothing when it does not exist. An empty file counts as an empty store.
std::optional<QJsonObject> readDocument(const QString &path, const QString &failureText, bool setAsideWhenUnparsable)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        raiseStore(errno, failureText);
    }
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            raiseStore(code, failureText);
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    if (bytes.trimmed().isEmpty())
        return QJsonObject();

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error == QJsonParseError::NoError && document.isObject() && isWellFormed(document.object()))
        return document.object();

    if (!setAsideWhenUnparsable)
        raiseStore(EBADMSG, failureText + QStringLiteral(": the settings file \"%1\" cannot be read").arg(path));
    int failureCode = 0;
    const QString keptAs = setAside(path, failureCode);
    if (keptAs.isEmpty())
        raiseStore(failureCode, failureText + QStringLiteral(": the settings file \"%1\" cannot be read").arg(path));
    raiseStore(EBADMSG, failureText +
                            QStringLiteral(": the settings file could not be read and was kept as \"%1\"").arg(keptAs));
}

void makeDirectories(const QString &dir)
{
    const QStringList parts = QDir::cleanPath(dir).split(u'/');
    QString path;
    for (const QString &part : parts) {
        path += part;
        if (!path.isEmpty() && ::mkdir(encoded(path).constData(), 0700) != 0) {
            if (errno != EEXIST)
                raiseStore(errno, openForWriteText());
            struct stat st;
            if (::stat(encoded(path).constData(), &st) != 0)
                raiseStore(errno, openForWriteText());
            if (!S_ISDIR(st.st_mode))
                raiseStore(ENOTDIR, openForWriteText());
        }
        path += u'/';
    }
}

// Temporary file in the same folder, flushed to disk, then renamed over the old file: a
// crash at any moment leaves either the old file or the new one.
void replaceFile(const QString &path, const QByteArray &bytes)
{
    QByteArray tempName = encoded(path + QStringLiteral(".tmp-XXXXXX"));
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0)
        raiseStore(errno, setValueText());
    auto fail = [&](int code) {
        ::close(fd);
        ::unlink(tempName.constData());
        raiseStore(code, setValueText());
    };
    struct stat old;
    if (::stat(encoded(path).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        written += n;
    }
    if (::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(tempName.constData());
        raiseStore(code, setValueText());
    }
    if (::rename(tempName.constData(), encoded(path).constData()) != 0) {
        const int code = errno;
        ::unlink(tempName.constData());
        raiseStore(code, setValueText());
    }
    // Make the rename itself durable; a failure here leaves a valid file either way.
    const int dirFd = ::open(encoded(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
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
    const std::optional<QJsonObject> root = readDocument(m_filePath, openForReadText(), !m_readOnly);
    if (!root)
        return defaultValue;
    const QJsonValue value = root->value(companyKey())
                                 .toObject()
                                 .value(trimSpaces(m_appName))
                                 .toObject()
                                 .value(trimSpaces(section))
                                 .toObject()
                                 .value(key);
    if (!value.isObject())
        return defaultValue;
    const QJsonObject v = value.toObject();
    const qint64 type = v.value(kTypeField).toInteger();
    if (type != kTypeString)
        raiseStore(int(type), QStringLiteral("Registry data not a string"));
    return v.value(kDataField).toString();
}

void RegistryStore::setValue(const QString &section, const QString &key, const QString &value) const
{
    setValues(section, {{key, value}});
}

void RegistryStore::setValues(const QString &section, const QList<std::pair<QString, QString>> &values) const
{
    checkAppAndSection(m_appName, section);
    for (const auto &entry : values)
        checkKey(entry.first);
    if (m_readOnly)
        raiseStore(EROFS, openForWriteText());

    makeDirectories(QFileInfo(m_filePath).absolutePath());
    QJsonObject root = readDocument(m_filePath, openForWriteText(), true).value_or(QJsonObject());
    QJsonObject company = root.value(companyKey()).toObject();
    QJsonObject app = company.value(trimSpaces(m_appName)).toObject();
    QJsonObject sectionObject = app.value(trimSpaces(section)).toObject();
    for (const auto &[key, text] : values)
        sectionObject.insert(key, QJsonObject{{kTypeField, kTypeString}, {kDataField, text}});
    app.insert(trimSpaces(section), sectionObject);
    company.insert(trimSpaces(m_appName), app);
    root.insert(companyKey(), company);

    replaceFile(m_filePath, QJsonDocument(root).toJson(QJsonDocument::Indented));
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
