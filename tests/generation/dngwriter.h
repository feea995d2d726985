#pragma once

#include <QImage>
#include <QString>

// A camera RAW file of the simplest kind, written with libtiff: a DNG whose raw data are
// `photo`'s pixels behind a Bayer pattern, linear, as the sensor of a camera that sees in sRGB
// would take them, tagged with `orientation`, and with `preview` as its embedded JPEG preview
// unless that is null.
bool writeDng(const QString &path, const QImage &photo, const QImage &preview, int orientation);
