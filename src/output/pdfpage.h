#pragma once

#include "generation/pagecontent.h"
#include "output/pagewriter.h"
#include "output/pdffile.h"
#include "output/pdffonts.h"

#include <QByteArray>
#include <QList>
#include <QRectF>

namespace pagorra {

// One page of a PDF document as the page object needs it.
struct PdfPageParts {
    QByteArray content;                         // the content stream
    QByteArray resources;                       // the resource dictionary's entries
    QList<std::pair<QRectF, QByteArray>> links; // areas in points (y up) and the URI each opens
};

// Draws a page's content: the background, each picture as an image at its own resolution
// (written into the file as it comes), each text item as text in fonts of `fonts`. Layout
// pixels are mapped onto the page's size in points; `colorSpace` names the pictures' colour
// space. Failure (deflate could not start) is reported by a false result.
bool composePdfPage(PdfFile &file, PdfFontSet &fonts, const PageContent &page, const WriteOptions &options,
                    const QByteArray &colorSpace, PdfPageParts &parts);

// The file:// URI of a file, from the bytes the file system names it by.
QByteArray fileUri(const QString &path);

} // namespace pagorra
