#include "core/settingspersistence.h"

#include "core/valuetext.h"
#include "errors/errorhandler.h"

#include <QStandardPaths>
#include <optional>
#include <variant>

namespace pagorra {

namespace {

// A stored value of a record: its name, its default text and the member it fills.
template <typename Record> struct FieldOf {
    using Member = std::variant<std::uint8_t Record::*, std::int16_t Record::*, std::int32_t Record::*,
                                double Record::*, bool Record::*, QString Record::*>;
    QString name;
    QString defaultText; // the folder field computes its default instead
    Member member;
};
using Field = FieldOf<RegistrySettings>;
using OutputField = FieldOf<OutputSettings>;
using InputField = FieldOf<InputSettings>;
using CaptionField = FieldOf<CaptionSettings>;
using CacheField = FieldOf<CacheSettings>;

#define PAGORRA_FIELD(record, name, defaultText)                                                                       \
    FieldOf<record>                                                                                                    \
    {                                                                                                                  \
        QStringLiteral(#name), QStringLiteral(defaultText), &record::name                                              \
    }

// Load and save order.
const std::vector<Field> &fields()
{
    static const std::vector<Field> table = {
        PAGORRA_FIELD(RegistrySettings, AddTitle, "0"),
        PAGORRA_FIELD(RegistrySettings, AppendPageNumber, "0"),
        PAGORRA_FIELD(RegistrySettings, PageBackColor, "16777215"),
        PAGORRA_FIELD(RegistrySettings, PageWidth, "800"),
        PAGORRA_FIELD(RegistrySettings, PageHeight, "600"),
        PAGORRA_FIELD(RegistrySettings, PageMarginTop, "0"),
        PAGORRA_FIELD(RegistrySettings, PageMarginLeft, "0"),
        PAGORRA_FIELD(RegistrySettings, PageMarginRight, "0"),
        PAGORRA_FIELD(RegistrySettings, PageMarginBottom, "0"),
        PAGORRA_FIELD(RegistrySettings, PageZoom, "0"),
        PAGORRA_FIELD(RegistrySettings, ThumbnailWidth, "140"),
        PAGORRA_FIELD(RegistrySettings, ThumbnailHeight, "88"),
        PAGORRA_FIELD(RegistrySettings, ThumbnailProportion, "1"),
        PAGORRA_FIELD(RegistrySettings, ThumbnailUniformPlacement, "1"),
        PAGORRA_FIELD(RegistrySettings, Title, "Photo List"),
        PAGORRA_FIELD(RegistrySettings, TitleBold, "False"),
        PAGORRA_FIELD(RegistrySettings, TitleFontColor, "&H80000012"),
        PAGORRA_FIELD(RegistrySettings, TitleFontName, "Tahoma"),
        PAGORRA_FIELD(RegistrySettings, TitleFontSize, "20"),
        PAGORRA_FIELD(RegistrySettings, TitleItalic, "False"),
        PAGORRA_FIELD(RegistrySettings, TitleStrikeThru, "False"),
        PAGORRA_FIELD(RegistrySettings, TitleUnderline, "False"),
        PAGORRA_FIELD(RegistrySettings, strFolderPath, ""),
        PAGORRA_FIELD(RegistrySettings, iState, "0"),
        PAGORRA_FIELD(RegistrySettings, PrintCentre, "False"),
        PAGORRA_FIELD(RegistrySettings, PrintFit, "False"),
        PAGORRA_FIELD(RegistrySettings, PrintCopies, "1"),
        PAGORRA_FIELD(RegistrySettings, PrinterIndex, "-1"),
        PAGORRA_FIELD(RegistrySettings, PrintLeft, "0"),
        PAGORRA_FIELD(RegistrySettings, PrintTop, "0"),
        PAGORRA_FIELD(RegistrySettings, PrintOrientation, "0"),
        PAGORRA_FIELD(RegistrySettings, PrintPaperSize, "0"),
        PAGORRA_FIELD(RegistrySettings, PrintScale, "100"),
        PAGORRA_FIELD(RegistrySettings, PrintUnits, "0"),
    };
    return table;
}

// The section "Output", in load and save order; its defaults are those of OutputSettings.
const std::vector<OutputField> &outputFields()
{
    static const std::vector<OutputField> table = {
        PAGORRA_FIELD(OutputSettings, Resolution, "96"),        PAGORRA_FIELD(OutputSettings, Paper, ""),
        PAGORRA_FIELD(OutputSettings, PaperLandscape, "False"), PAGORRA_FIELD(OutputSettings, PaperWidth, "210"),
        PAGORRA_FIELD(OutputSettings, PaperHeight, "297"),      PAGORRA_FIELD(OutputSettings, PaperUnits, "mm"),
        PAGORRA_FIELD(OutputSettings, PdfLinks, "False"),       PAGORRA_FIELD(OutputSettings, PdfJpegPictures, "False"),
        PAGORRA_FIELD(OutputSettings, JpegQuality, "90"),
    };
    return table;
}

// The section "Input"; its defaults are those of InputSettings.
const std::vector<InputField> &inputFields()
{
    static const std::vector<InputField> table = {PAGORRA_FIELD(InputSettings, ReadAllFormats, "False")};
    return table;
}

// The section "Captions", in load and save order; its defaults are those of CaptionSettings.
const std::vector<CaptionField> &captionFields()
{
    static const std::vector<CaptionField> table = {
        PAGORRA_FIELD(CaptionSettings, Caption, ""),
        PAGORRA_FIELD(CaptionSettings, CaptionLines, "1"),
        PAGORRA_FIELD(CaptionSettings, CaptionFontName, "DejaVu Sans"),
        PAGORRA_FIELD(CaptionSettings, CaptionFontSize, "8"),
        PAGORRA_FIELD(CaptionSettings, CaptionBold, "False"),
        PAGORRA_FIELD(CaptionSettings, CaptionItalic, "False"),
        PAGORRA_FIELD(CaptionSettings, CaptionFontColor, "0"),
        PAGORRA_FIELD(CaptionSettings, DateFormat, ""),
        PAGORRA_FIELD(CaptionSettings, Footer, ""),
    };
    return table;
}

// The section "Cache"; its default is that of CacheSettings.
const std::vector<CacheField> &cacheFields()
{
    static const std::vector<CacheField> table = {PAGORRA_FIELD(CacheSettings, DiskLimitMB, "1024")};
    return table;
}

#undef PAGORRA_FIELD

bool isFolderField(const Field &field)
{
    return field.member == Field::Member(&RegistrySettings::strFolderPath);
}

template <typename Record> void assign(Record &record, const FieldOf<Record> &field, const QString &text)
{
    std::visit(
        [&](auto member) {
            using T = std::remove_reference_t<decltype(record.*member)>;
            if constexpr (std::is_same_v<T, std::uint8_t>)
                record.*member = textToU8(text);
            else if constexpr (std::is_same_v<T, std::int16_t>)
                record.*member = textToI16(text);
            else if constexpr (std::is_same_v<T, std::int32_t>)
                record.*member = textToI32(text);
            else if constexpr (std::is_same_v<T, double>)
                record.*member = textToF64(text);
            else if constexpr (std::is_same_v<T, bool>)
                record.*member = textToBool(text);
            else
                record.*member = text;
        },
        field.member);
}

template <typename Record> QString toText(const Record &record, const FieldOf<Record> &field)
{
    return std::visit(
        [&](auto member) -> QString {
            using T = std::remove_cvref_t<decltype(record.*member)>;
            if constexpr (std::is_same_v<T, double>)
                return f64ToText(record.*member);
            else if constexpr (std::is_same_v<T, bool>)
                return boolToText(record.*member);
            else if constexpr (std::is_same_v<T, QString>)
                return record.*member;
            else
                return integerToText(record.*member);
        },
        field.member);
}

// Fills each field of `section` through `lookup`. One bad value must not cost the user the
// rest of the settings, nor have the save at exit write zeros over them: it takes its default
// and the first such failure is kept for the report.
template <typename Record>
void loadFields(Record &record, const std::vector<FieldOf<Record>> &table, const QString &section,
                const StoredValueLookup &lookup, std::optional<RuntimeError> &firstFailure)
{
    for (const FieldOf<Record> &field : table) {
        QString defaultText = field.defaultText;
        if constexpr (std::is_same_v<Record, RegistrySettings>) {
            if (isFolderField(field))
                defaultText = picturesFolder();
        }
        try {
            QString text = lookup(section, field.name, defaultText);
            if constexpr (std::is_same_v<Record, RegistrySettings>) {
                if (isFolderField(field) && text == u"app.path")
                    text = picturesFolder();
            }
            assign(record, field, text);
        } catch (const RuntimeError &error) {
            assign(record, field, defaultText);
            if (!firstFailure)
                firstFailure = error;
        }
    }
}

template <typename Record>
QList<std::pair<QString, QString>> fieldTexts(const Record &record, const std::vector<FieldOf<Record>> &table)
{
    QList<std::pair<QString, QString>> values;
    values.reserve(qsizetype(table.size()));
    for (const FieldOf<Record> &field : table)
        values.append({field.name, toText(record, field)});
    return values;
}

} // namespace

QString settingsSection()
{
    return QStringLiteral("Pagorra");
}

QString outputSection()
{
    return QStringLiteral("Output");
}

QString inputSection()
{
    return QStringLiteral("Input");
}

QString captionsSection()
{
    return QStringLiteral("Captions");
}

QString cacheSection()
{
    return QStringLiteral("Cache");
}

QString picturesFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        folder.chop(1);
    return folder;
}

QList<RegistryStore::SectionValues> settingsSections(const RegistrySettings &settings)
{
    return {{settingsSection(), fieldTexts(settings, fields())},
            {outputSection(), fieldTexts(settings.Output, outputFields())},
            {inputSection(), fieldTexts(settings.Input, inputFields())},
            {captionsSection(), fieldTexts(settings.Captions, captionFields())},
            {cacheSection(), fieldTexts(settings.Cache, cacheFields())}};
}

std::optional<RuntimeError> fillSettings(RegistrySettings &settings, const StoredValueLookup &lookup)
{
    std::optional<RuntimeError> firstFailure;
    loadFields(settings, fields(), settingsSection(), lookup, firstFailure);
    loadFields(settings.Output, outputFields(), outputSection(), lookup, firstFailure);
    loadFields(settings.Input, inputFields(), inputSection(), lookup, firstFailure);
    loadFields(settings.Captions, captionFields(), captionsSection(), lookup, firstFailure);
    loadFields(settings.Cache, cacheFields(), cacheSection(), lookup, firstFailure);
    return firstFailure;
}

void loadRegistrySettings(RegistrySettings &settings, const RegistryStore &store)
{
    store.removeOrphanedTemporaries();
    std::optional<RuntimeError> readFailure;
    // One reading of the file for the whole record: it may be large, and each value read
    // from it separately would cost a parse of all of it.
    QStringList names;
    for (const RegistryStore::SectionValues &section : settingsSections(settings))
        names << section.first;
    QList<RegistrySection> read;
    try {
        read = store.readSections(names);
    } catch (const RuntimeError &error) {
        readFailure = error;
    }
    std::optional<RuntimeError> firstFailure =
        fillSettings(settings, [&](const QString &section, const QString &name, const QString &defaultText) {
            const qsizetype at = names.indexOf(section);
            return at >= 0 && at < read.size() ? read.at(at).value(name, defaultText) : defaultText;
        });
    if (readFailure)
        firstFailure = readFailure;
    if (firstFailure)
        globalErrorHandler(*firstFailure, QStringLiteral("subLoadRegistrySettings"));
}

bool saveRegistrySettings(const RegistrySettings &settings, const RegistryStore &store)
{
    try {
        store.setSections(settingsSections(settings));
        return true;
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, QStringLiteral("subSaveRegistrySettings"));
        return false;
    }
}

void loadRegistrySettings()
{
    loadRegistrySettings(registrySettings(), RegistryStore());
}

bool saveRegistrySettings()
{
    return saveRegistrySettings(registrySettings(), RegistryStore());
}

} // namespace pagorra
