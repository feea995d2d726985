// Header of the ISO media files (HEIF, HEIC, AVIF; a Canon CR3 is one too): boxes of a size and
// a type, the picture described by the items of the `meta` box.
#include "generation/headerbytes.h"

#include <QByteArrayView>
#include <QHash>
#include <vector>

namespace pagorra::headers {

namespace {

// The `meta` box is read whole; phones write a few kilobytes (a grid of 48 tiles included).
constexpr std::int64_t kMaxMetaBytes = 1 * limits::kMiB;
// What libheif and its decoders hold per pixel of the primary image at 8 bits, measured on
// phone and camera files: the coded frame, libheif's copy of its planes, the conversion to
// interleaved RGB. AV1's decoders keep several frame-sized buffers besides. Twice as much for
// more than 8 bits a sample.
constexpr std::int64_t kHevcBytesPerPixel = 8;
constexpr std::int64_t kAv1BytesPerPixel = 14;

// A box inside `data`: its type and body.
struct Box {
    QByteArray type;
    qsizetype body = 0; // offset of the body in data
    qsizetype end = 0;  // offset past the box
};

// The boxes inside data[from, to); nothing when one runs past `to`.
std::optional<std::vector<Box>> boxesIn(const QByteArray &data, qsizetype from, qsizetype to)
{
    std::vector<Box> boxes;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    while (from + 8 <= to) {
        std::uint64_t size = be32(p + from);
        qsizetype header = 8;
        if (size == 1) {
            if (from + 16 > to)
                return std::nullopt;
            size = qFromBigEndian<quint64>(p + from + 8);
            header = 16;
        } else if (size == 0) {
            size = std::uint64_t(to - from);
        }
        if (size < std::uint64_t(header) || size > std::uint64_t(to - from))
            return std::nullopt;
        boxes.push_back({data.mid(from + 4, 4), from + header, from + qsizetype(size)});
        from += qsizetype(size);
    }
    return boxes;
}

// Reads big-endian fields of a box body in order; any read past its end marks it broken.
class Fields {
  public:
    Fields(const QByteArray &data, qsizetype from, qsizetype end) : m_data(data), m_at(from), m_end(end) {}
    std::uint64_t get(int bytes)
    {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            if (m_at >= m_end) {
                m_broken = true;
                return 0;
            }
            v = (v << 8) | uchar(m_data[m_at++]);
        }
        return v;
    }
    QByteArray text()
    {
        const qsizetype nul = m_data.indexOf('\0', m_at);
        const qsizetype stop = nul < 0 || nul >= m_end ? m_end : nul;
        const QByteArray t = m_data.mid(m_at, stop - m_at);
        m_at = std::min(stop + 1, m_end);
        return t;
    }
    bool broken() const { return m_broken; }

  private:
    const QByteArray &m_data;
    qsizetype m_at, m_end;
    bool m_broken = false;
};

struct Item {
    QByteArray type;
    QByteArray contentType;
    std::vector<int> properties; // 1-based indexes into ipco
    std::int64_t offset = -1, length = 0;
};

// The items of a parsed meta box, by id.
struct Meta {
    std::uint32_t primary = 0;
    std::uint32_t thumbnail = 0; // an item that is a thumbnail of the primary one
    QHash<std::uint32_t, Item> items;
    std::vector<Box> properties;
};

bool readInfe(const QByteArray &m, const Box &box, Meta &meta)
{
    Fields f(m, box.body, box.end);
    const int version = int(f.get(4) >> 24);
    if (version < 2)
        return true; // no item type in older entries
    const auto id = std::uint32_t(f.get(version == 2 ? 2 : 4));
    f.get(2); // protection index
    Item &item = meta.items[id];
    item.type = m.mid(box.body + (version == 2 ? 8 : 10), 4);
    f.get(4);
    f.text(); // name
    if (item.type == "mime")
        item.contentType = f.text();
    return !f.broken();
}

bool readIloc(const QByteArray &m, const Box &box, Meta &meta)
{
    Fields f(m, box.body, box.end);
    const int version = int(f.get(4) >> 24);
    const int sizes = int(f.get(2));
    const int offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseSize = (sizes >> 4) & 15,
              indexSize = version >= 1 ? sizes & 15 : 0;
    const std::uint64_t count = f.get(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && !f.broken(); ++i) {
        const auto id = std::uint32_t(f.get(version < 2 ? 2 : 4));
        const int method = version >= 1 ? int(f.get(2) & 15) : 0;
        f.get(2); // data reference
        const std::uint64_t base = f.get(baseSize);
        const std::uint64_t extents = f.get(2);
        for (std::uint64_t e = 0; e < extents && !f.broken(); ++e) {
            f.get(indexSize);
            const std::uint64_t offset = f.get(offsetSize), length = f.get(lengthSize);
            // The metadata items the photo's information comes from lie in the file, whole.
            if (method == 0 && e == 0 && extents == 1 && meta.items.contains(id)) {
                meta.items[id].offset = std::int64_t(std::min<std::uint64_t>(base + offset, INT64_MAX / 2));
                meta.items[id].length = std::int64_t(std::min<std::uint64_t>(length, INT64_MAX / 2));
            }
        }
    }
    return !f.broken();
}

// The first item marked as a thumbnail of the primary item.
bool readIref(const QByteArray &m, const Box &box, Meta &meta)
{
    const bool wideIds = uchar(m[box.body]) >= 1;
    const auto references = boxesIn(m, box.body + 4, box.end);
    if (!references)
        return false;
    for (const Box &reference : *references) {
        Fields f(m, reference.body, reference.end);
        const auto from = std::uint32_t(f.get(wideIds ? 4 : 2));
        const std::uint64_t count = f.get(2);
        for (std::uint64_t i = 0; i < count && !f.broken(); ++i) {
            if (f.get(wideIds ? 4 : 2) == meta.primary && reference.type == "thmb" && meta.thumbnail == 0)
                meta.thumbnail = from;
        }
    }
    return true;
}

bool readIprp(const QByteArray &m, const Box &box, Meta &meta)
{
    const auto children = boxesIn(m, box.body, box.end);
    if (!children)
        return false;
    for (const Box &child : *children) {
        if (child.type == "ipco") {
            const auto properties = boxesIn(m, child.body, child.end);
            if (!properties)
                return false;
            meta.properties = *properties;
        } else if (child.type == "ipma") {
            Fields f(m, child.body, child.end);
            const std::uint64_t versionFlags = f.get(4);
            const bool wideIds = (versionFlags >> 24) >= 1, wideIndex = versionFlags & 1;
            const std::uint64_t count = f.get(4);
            for (std::uint64_t i = 0; i < count && !f.broken(); ++i) {
                const auto id = std::uint32_t(f.get(wideIds ? 4 : 2));
                const std::uint64_t associations = f.get(1);
                for (std::uint64_t a = 0; a < associations && !f.broken(); ++a) {
                    const std::uint64_t v = f.get(wideIndex ? 2 : 1);
                    if (meta.items.contains(id))
                        meta.items[id].properties.push_back(int(v & (wideIndex ? 0x7FFF : 0x7F)));
                }
            }
            if (f.broken())
                return false;
        }
    }
    return true;
}

// The body of an item that lies whole in the file and is small enough to keep.
QByteArray itemBody(Bytes &bytes, const Item &item)
{
    if (item.offset < 0 || item.length <= 0 || item.length > kMaxMetadataBlock ||
        item.offset > bytes.size() - item.length)
        return {};
    return bytes.input().readExactly(item.offset, item.length).value_or(QByteArray());
}

} // namespace

std::optional<BoxHeader> boxAt(Bytes &bytes, std::int64_t at)
{
    uchar head[16];
    if (!bytes.get(at, 8, head))
        return std::nullopt;
    BoxHeader box{QByteArray(reinterpret_cast<const char *>(head + 4), 4), at + 8, be32(head)};
    if (box.size == 1) {
        if (!bytes.get(at, 16, head))
            return std::nullopt;
        box.size = qFromBigEndian<quint64>(head + 8);
        box.body = at + 16;
    } else if (box.size == 0) {
        box.size = std::uint64_t(bytes.size() - at);
    }
    if (box.size < std::uint64_t(box.body - at))
        return std::nullopt;
    return box;
}

QByteArray exifAfterOffset(const QByteArray &block)
{
    if (block.size() < 4)
        return {};
    const std::uint32_t skip = be32(reinterpret_cast<const uchar *>(block.constData()));
    return skip < std::uint32_t(block.size() - 4) ? block.mid(4 + qsizetype(skip)) : QByteArray();
}

std::optional<PictureHeader> readIsoMedia(Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Heif;
    uchar head[16];
    if (!bytes.get(0, 16, head) || QByteArrayView(head + 4, 4) != "ftyp")
        return std::nullopt;
    const QByteArrayView brand(head + 8, 4);
    if (brand == "crx ") {
        header.format = PictureFormat::Raw;
        return header;
    }
    // The top-level boxes, up to `meta`; their sizes are not checked past it (the picture's
    // data may be cut short, as a JPEG's may).
    std::int64_t at = 0;
    std::optional<QByteArray> m;
    while (at + 8 <= bytes.size()) {
        const std::optional<BoxHeader> box = boxAt(bytes, at);
        if (!box)
            return std::nullopt;
        if (box->type == "meta") {
            const std::int64_t end = at + std::int64_t(std::min<std::uint64_t>(box->size, kMaxMetaBytes + 1));
            if (box->size > std::uint64_t(kMaxMetaBytes) || end > bytes.size() || end < box->body + 4)
                return std::nullopt;
            m = bytes.input().readExactly(box->body + 4, end - box->body - 4); // after version and flags
            break;
        }
        at += std::int64_t(std::min<std::uint64_t>(box->size, std::uint64_t(bytes.size())));
    }
    if (!m)
        return std::nullopt;
    const auto children = boxesIn(*m, 0, m->size());
    if (!children)
        return std::nullopt;
    Meta meta;
    for (const Box &box : *children) {
        if (box.type == "pitm") {
            Fields f(*m, box.body, box.end);
            meta.primary = std::uint32_t(f.get(4) >> 24 == 0 ? f.get(2) : f.get(4));
        }
    }
    // Item entries first: the locations and properties are kept for the items they name.
    for (const char *type : {"iinf", "iloc", "iprp", "iref"}) {
        for (const Box &box : *children) {
            if (box.type != type)
                continue;
            bool sound = true;
            if (box.type == "iinf") {
                const auto entries = boxesIn(*m, box.body + 4 + (uchar((*m)[box.body]) == 0 ? 2 : 4), box.end);
                sound = bool(entries);
                for (const Box &entry : entries.value_or(std::vector<Box>{}))
                    sound = sound && (entry.type != "infe" || readInfe(*m, entry, meta));
            } else if (box.type == "iloc") {
                sound = readIloc(*m, box, meta);
            } else if (box.type == "iref") {
                sound = readIref(*m, box, meta);
            } else {
                sound = readIprp(*m, box, meta);
            }
            if (!sound)
                return std::nullopt;
        }
    }
    // An item's size, as the decoder turns it (libheif applies the file's rotation), and the
    // bits of its samples.
    int bits = 8;
    auto sizeOf = [&](const Item &item, int &bitsPerSample) {
        std::uint64_t width = 0, height = 0;
        bool quarterTurn = false;
        for (const int index : item.properties) {
            if (index < 1 || std::size_t(index) > meta.properties.size())
                continue;
            const Box &property = meta.properties[std::size_t(index - 1)];
            Fields f(*m, property.body, property.end);
            if (property.type == "ispe") {
                f.get(4);
                width = f.get(4);
                height = f.get(4);
            } else if (property.type == "pixi") {
                f.get(4);
                if (f.get(1) > 0)
                    bitsPerSample = int(f.get(1));
            } else if (property.type == "irot") {
                quarterTurn = f.get(1) & 1;
            }
        }
        if (!affordable(width, height))
            return QSize();
        return quarterTurn ? QSize(int(height), int(width)) : QSize(int(width), int(height));
    };
    const Item primary = meta.items.value(meta.primary);
    header.size = sizeOf(primary, bits);
    if (header.size.isEmpty() || bits < 1 || bits > 16)
        return std::nullopt;
    int thumbnailBits = 8;
    if (meta.thumbnail != 0)
        header.thumbnail = sizeOf(meta.items.value(meta.thumbnail), thumbnailBits);
    const std::uint64_t width = std::uint64_t(header.size.width()), height = std::uint64_t(header.size.height());
    bool av1 = primary.type == "av01";
    for (const Item &item : meta.items)
        av1 = av1 || item.type == "av01"; // the tiles of a grid
    const std::int64_t perPixel = (av1 ? kAv1BytesPerPixel : kHevcBytesPerPixel) * (bits > 8 ? 2 : 1);
    header.decoderBytes = std::int64_t(width * height) * perPixel + std::int64_t(m->size());
    for (const Item &item : meta.items) {
        if (item.type == "Exif") {
            header.exif = exifAfterOffset(itemBody(bytes, item)); // often after "Exif\0\0"
        } else if (item.type == "mime" && item.contentType == "application/rdf+xml") {
            header.xmp = itemBody(bytes, item);
        }
    }
    return header;
}

} // namespace pagorra::headers
