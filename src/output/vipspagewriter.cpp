// glib names a struct member "signals", which Qt defines as a keyword: vips comes first.
#include <vips/vips8>

#include "output/vipspagewriter.h"

#include "core/filenames.h"
#include "output/fileoutput.h"
#include "output/srgbprofile.h"

#include <mutex>

namespace pagorra {

namespace {

bool startVips(QString &error)
{
    // vips_init is cheap once started; the loader may have started it already.
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = VIPS_INIT("pagorra") == 0; });
    if (!started)
        error = QStringLiteral("The image library could not be started");
    return started;
}

// Fills a region of the view with R, G, B bytes from the page rows it covers. vips calls it
// from its worker threads at once; they only read the page.
int generateRows(VipsRegion *out, void *, void *page, void *, gboolean *)
{
    const auto &image = *static_cast<const QImage *>(page);
    const VipsRect &area = out->valid;
    for (int y = area.top; y < VIPS_RECT_BOTTOM(&area); ++y)
        rgbRow(image, y, area.left, area.width, VIPS_REGION_ADDR(out, area.left, y));
    return 0;
}

// An sRGB image whose pixels are computed from the page as a saver asks for them; the page
// must outlive it. No vips operation is involved, so the operation cache keeps no hold on it.
vips::VImage pageView(const QImage &page, double pixelsPerInch)
{
    VipsImage *view = vips_image_new();
    const double pixelsPerMm = pixelsPerInch / 25.4;
    vips_image_init_fields(view, page.width(), page.height(), 3, VIPS_FORMAT_UCHAR, VIPS_CODING_NONE,
                           VIPS_INTERPRETATION_sRGB, pixelsPerMm, pixelsPerMm);
    // JPEG states the resolution per inch (PNG has metres only).
    vips_image_set_string(view, "resolution-unit", "in");
    // The savers embed the profile, which tells colour-managed programs the page is sRGB.
    const QByteArray &profile = srgbProfile();
    if (!profile.isEmpty())
        vips_image_set_blob_copy(view, VIPS_META_ICC_NAME, profile.constData(), std::size_t(profile.size()));
    if (vips_image_pipelinev(view, VIPS_DEMAND_STYLE_THINSTRIP, nullptr) != 0 ||
        vips_image_generate(view, nullptr, generateRows, nullptr, const_cast<QImage *>(&page), nullptr) != 0) {
        g_object_unref(view);
        throw vips::VError();
    }
    return vips::VImage(view, vips::STEAL);
}

gint64 writeToOutput(VipsTargetCustom *, const void *data, gint64 length, void *output)
{
    auto *out = static_cast<FileOutput *>(output);
    out->write(data, std::size_t(length));
    return out->error() == 0 ? length : -1;
}

// A vips target that writes through out.
vips::VTarget targetOn(FileOutput &out)
{
    VipsTargetCustom *target = vips_target_custom_new();
    g_signal_connect(target, "write", G_CALLBACK(writeToOutput), &out);
    return vips::VTarget(VIPS_TARGET(target), vips::STEAL);
}

// The one page is encoded into the file as soon as it comes.
class VipsDocument : public PageDocument {
  public:
    VipsDocument(const QString &path, ImageFormat format, const WriteOptions &options)
        : PageDocument(path, false), m_format(format), m_options(options)
    {
    }

  protected:
    bool openFile(QString &error) override { return startVips(error); }
    bool writePage(const QImage &page, QString &error) override;
    bool finishFile(QString &) override { return true; }
    void closeFile() override {}

  private:
    void save(const vips::VImage &image, const vips::VTarget &target) const;

    ImageFormat m_format;
    WriteOptions m_options;
};

void VipsDocument::save(const vips::VImage &image, const vips::VTarget &target) const
{
    if (m_format == ImageFormat::Jpeg) {
        image.jpegsave_target(target, vips::VImage::option()->set("Q", m_options.jpegQuality));
        return;
    }
    // Level 1 of 9 deflates a page of photos in half the time of the default 6, for files
    // about 1 % larger: a page is written once, and a batch run waits for it.
    image.pngsave_target(target, vips::VImage::option()->set("compression", 1));
}

bool VipsDocument::writePage(const QImage &page, QString &error)
{
    FileOutput out(descriptor());
    try {
        save(pageView(page, m_options.pixelsPerInch), targetOn(out));
    } catch (const vips::VError &e) {
        vips_error_clear();
        // A failed write is told by its cause, not by the saver's account of it.
        error = out.error() != 0 ? fileErrorText(path(), out.error())
                                 : QStringLiteral("Could not write '%1': %2")
                                       .arg(displayName(path()), QString::fromUtf8(e.what()).trimmed());
        return false;
    }
    if (out.flush())
        return true;
    error = fileErrorText(path(), out.error());
    return false;
}

} // namespace

VipsPageWriter::VipsPageWriter(ImageFormat format, const WriteOptions &options) : m_format(format), m_options(options)
{
}

std::unique_ptr<PageDocument> VipsPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<VipsDocument>(path, m_format, m_options);
}

} // namespace pagorra
