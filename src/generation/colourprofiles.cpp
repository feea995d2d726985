#include "generation/colourprofiles.h"

#include <lcms2.h>

#include <cmath>
#include <memory>

namespace pagorra {

namespace {

// sRGB's primaries as an ICC profile states them (adapted to D50), and its tone curve at a
// few points. Profiles written by different tools round them differently, by far less than
// any other colour space differs.
constexpr double kSrgbColorants[3][3] = {{0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}};
constexpr double kColorantTolerance = 0.005;
constexpr float kCurveInput[3] = {0.1f, 0.5f, 0.9f};
constexpr float kSrgbCurve[3] = {0.0100f, 0.2140f, 0.7874f};
// A plain 2.2 power curve, which many sRGB profiles use, is within this of sRGB's.
constexpr float kCurveTolerance = 0.01f;

} // namespace

bool needsSrgbConversion(const void *profile, std::size_t size)
{
    const std::unique_ptr<void, decltype(&cmsCloseProfile)> handle(
        cmsOpenProfileFromMem(profile, cmsUInt32Number(size)), &cmsCloseProfile);
    if (!handle || cmsGetColorSpace(handle.get()) != cmsSigRgbData)
        return false;
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto *xyz = static_cast<const cmsCIEXYZ *>(cmsReadTag(handle.get(), colorants[c]));
        const auto *curve = static_cast<const cmsToneCurve *>(cmsReadTag(handle.get(), curves[c]));
        // Without a matrix and curves (a table-based profile) it cannot be told sRGB.
        if (!xyz || !curve)
            return true;
        if (std::abs(xyz->X - kSrgbColorants[c][0]) > kColorantTolerance ||
            std::abs(xyz->Y - kSrgbColorants[c][1]) > kColorantTolerance ||
            std::abs(xyz->Z - kSrgbColorants[c][2]) > kColorantTolerance)
            return true;
        for (int i = 0; i < 3; ++i) {
            if (std::abs(cmsEvalToneCurveFloat(curve, kCurveInput[i]) - kSrgbCurve[i]) > kCurveTolerance)
                return true;
        }
    }
    return false;
}

SrgbConversion::SrgbConversion(const vips::VImage &image)
{
    if (image.bands() < 3 || image.interpretation() == VIPS_INTERPRETATION_CMYK ||
        image.get_typeof(VIPS_META_ICC_NAME) == 0)
        return;
    size_t size = 0;
    const void *data = image.get_blob(VIPS_META_ICC_NAME, &size);
    if (needsSrgbConversion(data, size))
        m_profile = QByteArray(static_cast<const char *>(data), qsizetype(size));
}

vips::VImage SrgbConversion::applied(vips::VImage image) const
{
    if (m_profile.isEmpty())
        return image;
    image = image.copy();
    image.set(VIPS_META_ICC_NAME, nullptr, const_cast<char *>(m_profile.constData()), size_t(m_profile.size()));
    return image.icc_transform(
        "srgb", vips::VImage::option()->set("embedded", true)->set("intent", VIPS_INTENT_RELATIVE)->set("depth", 8));
}

} // namespace pagorra
