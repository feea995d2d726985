#include "output/fontsubset.h"

#include <hb-subset.h>

#include <memory>

namespace pagorra {

namespace {

quint32 bigEndian(const QByteArray &data, qsizetype at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | quint8(data.at(at + i));
    return value;
}

// Where a CFF INDEX that starts at `at` ends; -1 when it runs past the data.
qsizetype indexEnd(const QByteArray &cff, qsizetype at, qsizetype *firstData = nullptr)
{
    if (at + 2 > cff.size())
        return -1;
    const quint32 count = bigEndian(cff, at, 2);
    if (count == 0)
        return at + 2;
    const int offSize = (at + 2 < cff.size() ? quint8(cff.at(at + 2)) : 0);
    const qsizetype offsets = at + 3;
    if (offSize < 1 || offSize > 4 || offsets + qsizetype(count + 1) * offSize > cff.size())
        return -1;
    const qsizetype dataStart = offsets + qsizetype(count + 1) * offSize - 1; // offsets count from 1
    if (firstData)
        *firstData = dataStart + bigEndian(cff, offsets, offSize);
    return dataStart + bigEndian(cff, offsets + qsizetype(count) * offSize, offSize);
}

// A CID-keyed CFF font starts its top dictionary with the ROS operator (12 30); its glyphs
// are then chosen by character ids that differ from glyph ids.
bool cidKeyed(const QByteArray &cff)
{
    if (cff.size() < 4)
        return true;
    qsizetype topDict = 0;
    const qsizetype names = indexEnd(cff, quint8(cff.at(2)));
    if (names < 0 || indexEnd(cff, names, &topDict) < 0)
        return true; // unreadable: drawn from its outlines rather than trusted
    // Skip the first operator's operands.
    for (qsizetype at = topDict; at < cff.size();) {
        const int b = quint8(cff.at(at));
        if (b <= 21)
            return b == 12 && at + 1 < cff.size() && quint8(cff.at(at + 1)) == 30;
        if (b == 28)
            at += 3;
        else if (b == 29)
            at += 5;
        else if (b == 30) {
            while (++at < cff.size() && (quint8(cff.at(at)) & 0x0F) != 0x0F && (quint8(cff.at(at)) & 0xF0) != 0xF0) {
            }
            ++at;
        } else
            at += b <= 246 ? 1 : 2;
    }
    return true;
}

hb_blob_t *tableOf(hb_face_t *, hb_tag_t tag, void *font)
{
    const char name[5] = {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag), 0};
    auto *data = new QByteArray(static_cast<const QRawFont *>(font)->fontTable(name));
    if (data->isEmpty()) {
        delete data;
        return nullptr;
    }
    return hb_blob_create(data->constData(), unsigned(data->size()), HB_MEMORY_MODE_READONLY, data,
                          [](void *d) { delete static_cast<QByteArray *>(d); });
}

} // namespace

FontOutlines fontOutlines(const QRawFont &font)
{
    if (!font.fontTable("CBDT").isEmpty() || !font.fontTable("sbix").isEmpty() || !font.fontTable("COLR").isEmpty())
        return FontOutlines::Pictures;
    // A font the subsetter refuses is drawn from its outlines instead.
    if (subsetFont(font, {}).isEmpty())
        return FontOutlines::Paths;
    if (!font.fontTable("glyf").isEmpty())
        return FontOutlines::TrueType;
    const QByteArray cff = font.fontTable("CFF ");
    return !cff.isEmpty() && !cidKeyed(cff) ? FontOutlines::Cff : FontOutlines::Paths;
}

QByteArray subsetFont(const QRawFont &font, const std::vector<quint32> &glyphs)
{
    const std::unique_ptr<hb_face_t, decltype(&hb_face_destroy)> face(
        hb_face_create_for_tables(tableOf, const_cast<QRawFont *>(&font), nullptr), hb_face_destroy);
    const std::unique_ptr<hb_subset_input_t, decltype(&hb_subset_input_destroy)> input(hb_subset_input_create_or_fail(),
                                                                                       hb_subset_input_destroy);
    if (!input)
        return {};
    hb_set_t *keep = hb_subset_input_glyph_set(input.get());
    hb_set_add(keep, 0);
    for (const quint32 glyph : glyphs)
        hb_set_add(keep, glyph);
    // Glyph ids stay as they are: the page content names glyphs by them. Hints are for
    // screens at small sizes; a document's readers scale the outlines.
    hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
    const std::unique_ptr<hb_face_t, decltype(&hb_face_destroy)> subset(hb_subset_or_fail(face.get(), input.get()),
                                                                        hb_face_destroy);
    if (!subset)
        return {};
    hb_blob_t *blob = hb_face_reference_blob(subset.get());
    unsigned length = 0;
    const char *data = hb_blob_get_data(blob, &length);
    const QByteArray program(data, qsizetype(length));
    hb_blob_destroy(blob);
    return program;
}

} // namespace pagorra
