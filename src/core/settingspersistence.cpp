#include "core/settingspersistence.h"

#include "core/valuetext.h"
#include "errors/errorhandler.h"

#include <QStandardPaths>
#include <optional>
#include <variant>

namespace pagorra {

namespace {

using Member =
    std::variant<std::uint8_t RegistrySettings::*, std::int16_t RegistrySettings::*, std::int32_t RegistrySettings::*,
                 double RegistrySettings::*, bool RegistrySettings::*, QString RegistrySettings::*>;

struct Field {
    QString name;
    QString defaultText; // the folder field computes its default instead
    Member member;
};

#define PAGORRA_FIELD(name, defaultText)                                                                               \
    Field                                                                                                              \
    {                                                                                                                  \
        QStringLiteral(#name), QStringLiteral(defaultText), &RegistrySettings::name                                    \
    }

// Load and save order.
const std::vector<Field> &fields()
{
    static const std::vector<Field> table = {
        PAGORRA_FIELD(AddTitle, "0"),
        PAGORRA_FIELD(AppendPageNumber, "0"),
        PAGORRA_FIELD(PageBackColor, "16777215"),
        PAGORRA_FIELD(PageWidth, "800"),
        PAGORRA_FIELD(PageHeight, "600"),
        PAGORRA_FIELD(PageMarginTop, "0"),
        PAGORRA_FIELD(PageMarginLeft, "0"),
        PAGORRA_FIELD(PageMarginRight, "0"),
        PAGORRA_FIELD(PageMarginBottom, "0"),
        PAGORRA_FIELD(PageZoom, "0"),
        PAGORRA_FIELD(ThumbnailWidth, "140"),
        PAGORRA_FIELD(ThumbnailHeight, "88"),
        PAGORRA_FIELD(ThumbnailProportion, "1"),
        PAGORRA_FIELD(ThumbnailUniformPlacement, "1"),
        PAGORRA_FIELD(Title, "Photo List"),
        PAGORRA_FIELD(TitleBold, "False"),
        PAGORRA_FIELD(TitleFontColor, "&H80000012"),
        PAGORRA_FIELD(TitleFontName, "Tahoma"),
        PAGORRA_FIELD(TitleFontSize, "20"),
        PAGORRA_FIELD(TitleItalic, "False"),
        PAGORRA_FIELD(TitleStrikeThru, "False"),
        PAGORRA_FIELD(TitleUnderline, "False"),
        PAGORRA_FIELD(strFolderPath, ""),
        PAGORRA_FIELD(iState, "0"),
        PAGORRA_FIELD(PrintCentre, "False"),
        PAGORRA_FIELD(PrintFit, "False"),
        PAGORRA_FIELD(PrintCopies, "1"),
        PAGORRA_FIELD(PrinterIndex, "-1"),
        PAGORRA_FIELD(PrintLeft, "0"),
        PAGORRA_FIELD(PrintTop, "0"),
        PAGORRA_FIELD(PrintOrientation, "0"),
        PAGORRA_FIELD(PrintPaperSize, "0"),
        PAGORRA_FIELD(PrintScale, "100"),
        PAGORRA_FIELD(PrintUnits, "0"),
    };
    return table;
}

#undef PAGORRA_FIELD

bool isFolderField(const Field &field)
{
    return field.member == Member(&RegistrySettings::strFolderPath);
}

void assign(RegistrySettings &settings, const Field &field, const QString &text)
{
    std::visit(
        [&](auto member) {
            using T = std::remove_reference_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<T, std::uint8_t>)
                settings.*member = textToU8(text);
            else if constexpr (std::is_same_v<T, std::int16_t>)
                settings.*member = textToI16(text);
            else if constexpr (std::is_same_v<T, std::int32_t>)
                settings.*member = textToI32(text);
            else if constexpr (std::is_same_v<T, double>)
                settings.*member = textToF64(text);
            else if constexpr (std::is_same_v<T, bool>)
                settings.*member = textToBool(text);
            else
                settings.*member = text;
        },
        field.member);
}

QString toText(const RegistrySettings &settings, const Field &field)
{
    return std::visit(
        [&](auto member) -> QString {
            using T = std::remove_cvref_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<T, double>)
                return f64ToText(settings.*member);
            else if constexpr (std::is_same_v<T, bool>)
                return boolToText(settings.*member);
            else if constexpr (std::is_same_v<T, QString>)
                return settings.*member;
            else
                return integerToText(settings.*member);
        },
        field.member);
}

} // namespace

QString settingsSection()
{
    return QStringLiteral("Pagorra");
}

QString picturesFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        folder.chop(1);
    return folder;
}

void loadRegistrySettings(RegistrySettings &settings, const RegistryStore &store)
{
    store.removeOrphanedTemporaries();
    std::optional<RuntimeError> firstFailure;
    // One reading of the file for the whole record: it may be large, and each value read
    // from it separately would cost a parse of all of it.
    std::optional<RegistrySection> section;
    try {
        section = store.readSection(settingsSection());
    } catch (const RuntimeError &error) {
        firstFailure = error;
    }
    for (const Field &field : fields()) {
        const QString defaultText = isFolderField(field) ? picturesFolder() : field.defaultText;
        try {
            QString text = section ? section->value(field.name, defaultText) : defaultText;
            if (isFolderField(field) && text == u"app.path")
                text = picturesFolder();
            assign(settings, field, text);
        } catch (const RuntimeError &error) {
            // One bad value must not cost the user the rest of the settings, nor have the
            // save at exit write zeros over them.
            assign(settings, field, defaultText);
            if (!firstFailure)
                firstFailure = error;
        }
    }
    if (firstFailure)
        globalErrorHandler(*firstFailure, QStringLiteral("subLoadRegistrySettings"));
}

bool saveRegistrySettings(const RegistrySettings &settings, const RegistryStore &store)
{
    QList<std::pair<QString, QString>> values;
    values.reserve(qsizetype(fields().size()));
    for (const Field &field : fields())
        values.append({field.name, toText(settings, field)});
    try {
        store.setValues(settingsSection(), values);
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
