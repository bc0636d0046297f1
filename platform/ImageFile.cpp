#include "platform/ImageFile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <gif_lib.h>

namespace {

// The 16 colours of the standard VGA palette.
QList<QRgb> Vga16Palette()
{
    return {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
            0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
}

constexpr Qt::ImageConversionFlags kNoDither = Qt::ThresholdDither | Qt::ThresholdAlphaDither | Qt::AvoidDither;

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

std::optional<ImageFileFormat> ImageFormatForSuffix(const QString& suffix)
{
    const QString s = suffix.toLower();
    if (s == u"bmp")
        return ImageFileFormat::Bmp;
    if (s == u"jpg" || s == u"jpeg")
        return ImageFileFormat::Jpeg;
    if (s == u"gif")
        return ImageFileFormat::Gif;
    if (s == u"tif" || s == u"tiff")
        return ImageFileFormat::Tiff;
    if (s == u"png")
        return ImageFileFormat::Png;
    if (s == u"emf")
        return ImageFileFormat::Emf;
    return std::nullopt;
}

std::optional<ImageFileFormat> ImageFormatForPath(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    return ImageFormatForSuffix(name.mid(dot + 1));
}

QImage ConvertToDepth(const QImage& image, int depth)
{
    // Transparent parts are white, as on paper.
    QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    if (image.hasAlphaChannel()) {
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.setDotsPerMeterX(image.dotsPerMeterX());
        opaque.setDotsPerMeterY(image.dotsPerMeterY());
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    }
    switch (depth) {
    case DepthMonochrome: return opaque.convertToFormat(QImage::Format_Mono, kNoDither | Qt::MonoOnly);
    case Depth16Colours: return opaque.convertToFormat(QImage::Format_Indexed8, Vga16Palette(), kNoDither);
    case Depth256Colours: return opaque.convertToFormat(QImage::Format_Indexed8, kNoDither);
    default: return opaque.convertToFormat(QImage::Format_RGB888);
    }
}

bool SaveRasterImage(const QImage& image, const QString& path, ImageFileFormat format, QString* error)
{
    const char* name = nullptr;
    switch (format) {
    case ImageFileFormat::Gif: return WriteGif(image, path, error);
    case ImageFileFormat::Emf: SetError(error, QStringLiteral("EMF is not a raster format")); return false;
    case ImageFileFormat::Bmp: name = "bmp"; break;
    case ImageFileFormat::Jpeg: name = "jpeg"; break;
    case ImageFileFormat::Tiff: name = "tiff"; break;
    case ImageFileFormat::Png: name = "png"; break;
    }
    return WriteWholeFile(
        path,
        [&](QIODevice& device, QString* why) {
            QImageWriter writer(&device, name);
            if (writer.canWrite() && writer.write(image))
                return true;
            SetError(why, writer.errorString());
            return false;
        },
        error);
}

bool WriteWholeFile(const QString& path, const std::function<bool(QIODevice&, QString*)>& write, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, file.errorString());
        return false;
    }
    if (!write(file, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        SetError(error, file.errorString());
        return false;
    }
    return true;
}

namespace {

// Hands giflib's output to the file being written.
int WriteToGifFile(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* file = static_cast<QIODevice*>(gif->UserData);
    return static_cast<int>(file->write(reinterpret_cast<const char*>(bytes), length));
}

} // namespace

bool WriteGif(const QImage& image, const QString& path, QString* error)
{
    QImage indexed = image;
    if (indexed.format() != QImage::Format_Indexed8 || indexed.colorCount() > 256)
        indexed = image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB
                      ? image.convertToFormat(QImage::Format_Indexed8)
                      : ConvertToDepth(image, Depth256Colours);
    if (indexed.isNull() || indexed.width() > 0xFFFF || indexed.height() > 0xFFFF) {
        SetError(error, QStringLiteral("The picture is too large for GIF"));
        return false;
    }
    // The colour map holds a power of two entries, at least two.
    const QList<QRgb> table = indexed.colorTable();
    int bits = 1;
    while ((1 << bits) < table.size())
        ++bits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (!map) {
        SetError(error, QStringLiteral("Out of memory"));
        return false;
    }
    for (int i = 0; i < map->ColorCount; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0xFF000000u;
        map->Colors[i] = {static_cast<GifByteType>(qRed(c)), static_cast<GifByteType>(qGreen(c)),
                          static_cast<GifByteType>(qBlue(c))};
    }

    const bool written = WriteWholeFile(
        path,
        [&](QIODevice& file, QString* why) {
            int code = 0;
            GifFileType* gif = EGifOpen(&file, WriteToGifFile, &code);
            bool ok = gif != nullptr;
            if (ok) {
                ok = EGifPutScreenDesc(gif, indexed.width(), indexed.height(), bits, 0, map) == GIF_OK
                     && EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr) == GIF_OK;
                for (int y = 0; ok && y < indexed.height(); ++y)
                    ok = EGifPutLine(gif, const_cast<GifByteType*>(indexed.constScanLine(y)), indexed.width())
                         == GIF_OK;
                if (!ok)
                    code = gif->Error;
                int closeCode = 0;
                if (EGifCloseFile(gif, &closeCode) != GIF_OK && ok) {
                    ok = false;
                    code = closeCode;
                }
            }
            if (!ok)
                SetError(why, QString::fromUtf8(GifErrorString(code)));
            return ok;
        },
        error);
    GifFreeMapObject(map);
    return written;
}
