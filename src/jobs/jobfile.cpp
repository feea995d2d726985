#include "jobs/jobfile.h"

#include "core/atomicwrite.h"
#include "core/filenames.h"
#include "core/product.h"
#include "core/settingspersistence.h"
#include "jobs/storedpath.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

// The version this program writes; a file of a later one may mean something this version
// would get wrong, so it is refused rather than half understood.
constexpr int kJobVersion = 1;
// A job is a list of paths and a few dozen values: a million entries of long paths stay below
// this, and a file beyond it is no job.
constexpr qint64 kMaxJobBytes = 256 * 1024 * 1024;

const QString kVersion = u"version"_s;
const QString kBasket = u"basket"_s;
const QString kSettings = u"settings"_s;
const QString kTarget = u"target"_s;
const QString kFile = u"file"_s;
const QString kMultipage = u"multipage"_s;

// The values that are the user's own: the window, the last folder looked at, and the print
// choices, which belong to the printer at hand rather than to the pages.
bool isPersonal(const QString &name)
{
    static const QSet<QString> names{u"PageZoom"_s,  u"iState"_s,           u"strFolderPath"_s,  u"PrintCentre"_s,
                                     u"PrintFit"_s,  u"PrintCopies"_s,      u"PrinterIndex"_s,   u"PrintLeft"_s,
                                     u"PrintTop"_s,  u"PrintOrientation"_s, u"PrintPaperSize"_s, u"PrintScale"_s,
                                     u"PrintUnits"_s};
    return names.contains(name);
}

// Why a job file is refused: the reason, made a sentence naming the file.
class Refusal {
  public:
    explicit Refusal(QString reason) : m_reason(std::move(reason)) {}
    const QString &reason() const { return m_reason; }

  private:
    QString m_reason;
};

[[noreturn]] void damaged(const QString &what)
{
    throw Refusal(u"It is damaged: "_s + what + u'.');
}

QString pathAt(const QJsonValue &value, const QString &folder, const QString &what)
{
    const std::optional<QString> path = pathFromStored(value, folder);
    if (!path)
        damaged(what + u" is not a path"_s);
    return *path;
}

void checkVersion(const QJsonObject &document)
{
    const QJsonValue version = document.value(kVersion);
    const double number = version.toDouble(-1);
    if (!version.isDouble() || number < 1 || number != double(qint64(number)))
        damaged(u"it has no version number"_s);
    if (number > kJobVersion)
        throw Refusal(u"It was written by a newer version of %1 (job version %2); this version reads jobs up to "
                      "version %3."_s.arg(productTitle())
                          .arg(qint64(number))
                          .arg(kJobVersion));
}

QStringList basketOf(const QJsonObject &document, const QString &folder)
{
    const QJsonValue basket = document.value(kBasket);
    if (!basket.isUndefined() && !basket.isArray())
        damaged(u"its basket is not a list"_s);
    QStringList paths;
    const QJsonArray entries = basket.toArray();
    paths.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        paths << pathAt(entries.at(i), folder, u"entry %1 of the basket"_s.arg(i + 1));
    return paths;
}

// The job's text of each value, by section; anything but sections of texts is damage.
QHash<QString, QHash<QString, QString>> storedTextsOf(const QJsonObject &document)
{
    const QJsonValue settings = document.value(kSettings);
    if (!settings.isUndefined() && !settings.isObject())
        damaged(u"its settings are not a set of sections"_s);
    QHash<QString, QHash<QString, QString>> texts;
    const QJsonObject sections = settings.toObject();
    for (auto section = sections.begin(); section != sections.end(); ++section) {
        if (!section->isObject())
            damaged(u"its settings section %1 is not a set of values"_s.arg(section.key()));
        const QJsonObject values = section->toObject();
        for (auto value = values.begin(); value != values.end(); ++value) {
            if (!value->isString())
                damaged(u"the value %1/%2 is not a text"_s.arg(section.key(), value.key()));
            texts[section.key()][value.key()] = value->toString();
        }
    }
    return texts;
}

// The personal values of `personal` under the job's values; a value the job does not hold
// takes its default, so a job makes the same pages whatever the user's settings are.
RegistrySettings settingsOf(const QJsonObject &document, const RegistrySettings &personal)
{
    const QHash<QString, QHash<QString, QString>> texts = storedTextsOf(document);
    QHash<QString, QHash<QString, QString>> own;
    for (const auto &[section, values] : settingsSections(personal)) {
        for (const auto &[name, text] : values)
            own[section][name] = text;
    }
    auto fill = [&](RegistrySettings &settings, const QString &onlySection, const QString &onlyName) {
        return fillSettings(settings, [&](const QString &section, const QString &name, const QString &defaultText) {
            if (isPersonalValue(section, name))
                return own.value(section).value(name, defaultText);
            if (!onlyName.isEmpty() && (section != onlySection || name != onlyName))
                return defaultText;
            return texts.value(section).value(name, defaultText);
        });
    };
    RegistrySettings settings = personal;
    if (const std::optional<RuntimeError> failure = fill(settings, {}, {})) {
        // Which value it was is found by trying them one at a time, only now that one failed.
        for (auto section = texts.begin(); section != texts.end(); ++section) {
            for (auto value = section->begin(); value != section->end(); ++value) {
                RegistrySettings scratch = personal;
                if (const std::optional<RuntimeError> own = fill(scratch, section.key(), value.key()))
                    damaged(u"the value %1/%2 (\"%3\") is not valid: %4"_s.arg(section.key(), value.key(), *value,
                                                                               own->description()));
            }
        }
        damaged(failure->description());
    }
    return settings;
}

JobTarget targetOf(const QJsonObject &document, const QString &folder)
{
    const QJsonValue target = document.value(kTarget);
    if (target.isUndefined())
        return {};
    const QJsonObject object = target.toObject();
    const QJsonValue multipage = object.value(kMultipage);
    if (!target.isObject() || !(multipage.isUndefined() || multipage.isBool()))
        damaged(u"its target is not a file name and a multipage choice"_s);
    return {pathAt(object.value(kFile), folder, u"its target"_s), multipage.toBool()};
}

} // namespace

QString jobFileSuffix()
{
    return u"pagorra"_s;
}

bool isJobFileName(const QString &path)
{
    return path.endsWith(u'.' + jobFileSuffix(), Qt::CaseInsensitive);
}

bool isPersonalValue(const QString &section, const QString &name)
{
    // The cache's room belongs to the machine, not to the sheet.
    return (section == settingsSection() && isPersonal(name)) || section == cacheSection();
}

QJsonObject jobSettingsObject(const RegistrySettings &settings)
{
    QJsonObject sections;
    for (const auto &[section, values] : settingsSections(settings)) {
        QJsonObject object;
        for (const auto &[name, text] : values) {
            if (!isPersonalValue(section, name))
                object.insert(name, text);
        }
        if (!object.isEmpty())
            sections.insert(section, object);
    }
    return sections;
}

JobRead readJob(const QString &path, const RegistrySettings &personal)
{
    JobRead result;
    const QString name = displayName(path);
    int error = 0;
    const std::optional<QByteArray> bytes = readWholeFile(path, error, kMaxJobBytes);
    if (!bytes) {
        result.error = u"The job file '%1' cannot be read: %2."_s.arg(name, errnoText(error));
        return result;
    }
    try {
        QJsonParseError parse;
        const QJsonDocument document = QJsonDocument::fromJson(*bytes, &parse);
        if (parse.error != QJsonParseError::NoError)
            damaged(u"%1 at byte %2"_s.arg(parse.errorString()).arg(parse.offset));
        if (!document.isObject())
            damaged(u"it is not a set of named values"_s);
        const QJsonObject object = document.object();
        checkVersion(object);
        const QString folder = folderOf(absolutePath(path));
        Job job;
        job.basket = basketOf(object, folder);
        job.settings = settingsOf(object, personal);
        job.target = targetOf(object, folder);
        job.kept = object;
        result.job = std::move(job);
    } catch (const Refusal &refusal) {
        result.error = u"The job file '%1' cannot be opened. %2"_s.arg(name, refusal.reason());
    }
    return result;
}

std::optional<QString> writeJob(const QString &path, const Job &job)
{
    const QString folder = folderOf(absolutePath(path));
    QJsonObject document = job.kept;
    document.insert(kVersion, kJobVersion);
    QJsonArray basket;
    for (const QString &entry : job.basket)
        basket.append(storedPath(absolutePath(entry), folder));
    document.insert(kBasket, basket);
    // Values this version does not know, in known sections or in sections of their own, stay.
    QJsonObject sections = document.value(kSettings).toObject();
    const QJsonObject ours = jobSettingsObject(job.settings);
    for (auto section = ours.begin(); section != ours.end(); ++section) {
        QJsonObject values = sections.value(section.key()).toObject();
        const QJsonObject known = section->toObject();
        for (auto value = known.begin(); value != known.end(); ++value)
            values.insert(value.key(), *value);
        sections.insert(section.key(), values);
    }
    document.insert(kSettings, sections);
    if (job.target.file.isEmpty()) {
        document.remove(kTarget);
    } else {
        QJsonObject target = document.value(kTarget).toObject();
        target.insert(kFile, storedPath(absolutePath(job.target.file), folder));
        target.insert(kMultipage, job.target.multipage);
        document.insert(kTarget, target);
    }
    // Documents are readable by others as the user's other files are; the mode of a file
    // being replaced is kept.
    if (const std::optional<WriteFailure> failure =
            replaceFileAtomically(path, QJsonDocument(document).toJson(QJsonDocument::Indented), 0644))
        return u"The job file '%1' cannot be written: %2."_s.arg(displayName(path), failure->reason);
    return std::nullopt;
}

} // namespace pagorra
