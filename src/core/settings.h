#pragma once

#include <QString>
#include <cstdint>

namespace pagorra {

// The user's settings, one instance for the life of the process. Field names are the
// stored value names; the order of the fields is the load and save order. Before loading,
// every field holds its type's initial value (0, empty, false).
struct RegistrySettings {
    std::uint8_t AddTitle = 0;
    std::uint8_t AppendPageNumber = 0;
    std::int32_t PageBackColor = 0;
    std::int32_t PageWidth = 0;
    std::int32_t PageHeight = 0;
    std::int16_t PageMarginTop = 0;
    std::int16_t PageMarginLeft = 0;
    std::int16_t PageMarginRight = 0;
    std::int16_t PageMarginBottom = 0;
    std::uint8_t PageZoom = 0;
    std::int16_t ThumbnailWidth = 0;
    std::int16_t ThumbnailHeight = 0;
    std::int16_t ThumbnailProportion = 0;
    std::uint8_t ThumbnailUniformPlacement = 0;
    QString Title;
    bool TitleBold = false;
    std::int32_t TitleFontColor = 0;
    QString TitleFontName;
    std::int16_t TitleFontSize = 0;
    bool TitleItalic = false;
    bool TitleStrikeThru = false;
    bool TitleUnderline = false;
    QString strFolderPath;
    std::int16_t iState = 0;
    bool PrintCentre = false;
    bool PrintFit = false;
    std::int32_t PrintCopies = 0;
    std::int32_t PrinterIndex = 0;
    double PrintLeft = 0;
    double PrintTop = 0;
    std::uint8_t PrintOrientation = 0;
    std::int32_t PrintPaperSize = 0;
    double PrintScale = 0;
    std::uint8_t PrintUnits = 0;

    bool operator==(const RegistrySettings &) const = default;
};

// The record as a first run sees it: every field at its default (the folder is left empty;
// the persistence layer fills it from the user's pictures folder).
RegistrySettings defaultSettings();

// The one record of the process, shared by every part of the program (GUI thread only).
RegistrySettings &registrySettings();

} // namespace pagorra
