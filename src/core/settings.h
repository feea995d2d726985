#pragma once

#include <QString>
#include <cstdint>

namespace pagorra {

// The paper, resolution and document choices, stored in a section of their own ("Output") so
// that a store written before they existed loads unchanged. Field names are the stored value
// names. Unlike the fields of the record below, these start at their defaults, which leave
// every page as it is without them: no paper (the page is its size in pixels), 96 pixels
// per inch.
struct OutputSettings {
    std::int16_t Resolution = 96; // pixels per inch of the pages; 96 keeps one per layout pixel
    QString Paper;                // "" (none), "A5" "A4" "A3" "Letter" "Legal" "Tabloid" or "Custom"
    bool PaperLandscape = false;  // named papers only
    double PaperWidth = 210;      // the Custom paper, in PaperUnits
    double PaperHeight = 297;
    QString PaperUnits = QStringLiteral("mm"); // "mm" or "in"
    bool PdfLinks = false;                     // each PDF picture links to its file
    bool PdfJpegPictures = false;              // PDF pictures as JPEG rather than lossless
    std::int16_t JpegQuality = 90;             // of JPEG pages and JPEG pictures in PDF

    bool operator==(const OutputSettings &) const = default;
};

// The input choices, in a section of their own ("Input") beside "Output", for the same reason;
// their defaults read the picture types the program has always read.
struct InputSettings {
    // The basket and the batch tool also take HEIC, AVIF, WebP, JPEG XL and camera RAW files.
    bool ReadAllFormats = false;

    bool operator==(const InputSettings &) const = default;
};

// Captions under the thumbnails and a footer line, stored in a section of their own
// ("Captions"). The defaults draw neither, so every page is as it is without them.
struct CaptionSettings {
    QString Caption;               // template of text and tokens, at most two lines; "" draws none
    std::int16_t CaptionLines = 1; // lines kept under each thumbnail: 1 or 2
    QString CaptionFontName = QStringLiteral("DejaVu Sans");
    std::int16_t CaptionFontSize = 8; // points
    bool CaptionBold = false;
    bool CaptionItalic = false;
    std::int32_t CaptionFontColor = 0; // stored colour form; captions and footer
    QString DateFormat;                // of {date}, as Qt writes dates; "" is ISO 8601
    QString Footer;                    // "LEFT|CENTRE|RIGHT" templates; "" draws none

    bool operator==(const CaptionSettings &) const = default;
};

// The thumbnail cache's room on disk, in a section of its own ("Cache"); its default leaves
// nothing of what is made or stored otherwise changed.
struct CacheSettings {
    std::int32_t DiskLimitMB = 1024; // megabytes of thumbnails kept on disk between runs; 0: none

    bool operator==(const CacheSettings &) const = default;
};

// The user's settings, one instance for the life of the process. Field names are the
// stored value names; the order of the fields is the load and save order. Before loading,
// every field holds its type's initial value (0, empty, false), `Output` its defaults.
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
    // Kept apart from the fields above, which are the section "Pagorra", in its own section.
    OutputSettings Output;
    InputSettings Input;      // in its section too
    CaptionSettings Captions; // in the section "Captions"
    CacheSettings Cache;      // in the section "Cache"

    bool operator==(const RegistrySettings &) const = default;
};

// The record as a first run sees it: every field at its default (the folder is left empty;
// the persistence layer fills it from the user's pictures folder).
RegistrySettings defaultSettings();

// The one record of the process, shared by every part of the program (GUI thread only).
RegistrySettings &registrySettings();

} // namespace pagorra
