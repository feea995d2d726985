#pragma once

#include <QString>
#include <array>
#include <optional>

namespace pagorra {

// The file formats a page can be written in, in the order of the save-all filter.
enum class ImageFormat { Bmp, Gif, Jpeg, Tiff, Psd, Pcx, Pdf, Png };

struct OutputFormat {
    ImageFormat format;
    QString label;     // as shown in the save-as filter
    QString pattern;   // "*.bmp"
    QString extension; // appended by the save-all rule, with its dot
};

// The eight output formats; filter index i (1-based) is element i-1.
const std::array<OutputFormat, 8> &outputFormats();

// Filter list of "Save all pages": label|pattern|... without a closing bar after the last row.
QString outputFilterList();
// Filter list of "Save as multipage": index 1 = TIFF, 2 = PDF.
QString multipageFilterList();

// The format a file name asks for by its extension (any letter case; .jpeg, .jpe and .tiff
// accepted too); none for an extension we cannot write.
std::optional<ImageFormat> formatFromFileName(const QString &fileName);

// "Save all pages": appends the extension of filter row filterIndex unless the name already
// ends in it (compared in lower case); an index outside 1..8 appends nothing.
QString appendFilterExtension(const QString &name, int filterIndex);

// "Save all pages": folder + base name + pageNumber + "." + extension of name (case kept).
QString numberedPageName(const QString &name, int pageNumber);

// "Save page as": a name whose extension names no output format gets the chosen row's
// extension; a recognised extension wins over the chosen row.
QString pageSaveName(const QString &name, int filterIndex);

enum class MultipageKind { Tiff = 0, Pdf = 1 };

struct MultipageTarget {
    QString fileName;
    MultipageKind kind = MultipageKind::Tiff;
};

// "Save as multipage": index 1 = TIFF (".tif" appended unless present), 2 = PDF (".pdf"),
// any other index = TIFF under the name as typed.
MultipageTarget multipageTarget(const QString &name, int filterIndex);

} // namespace pagorra
