#include "platform/ImageFile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryFile>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <gif_lib.h>
#include <png.h>
#include <sys/stat.h>
#include <vector>

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
    case ImageFileFormat::Png: return WritePng(image, path, error);
    case ImageFileFormat::Emf: SetError(error, QStringLiteral("EMF 不是位图格式")); return false;
    case ImageFileFormat::Bmp: name = "bmp"; break;
    case ImageFileFormat::Jpeg: name = "jpeg"; break;
    case ImageFileFormat::Tiff: name = "tiff"; break;
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

namespace {

// The process's umask: Linux tells it in /proc; elsewhere it can only be read by
// setting it, and setting it back at once.
mode_t CurrentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return static_cast<mode_t>(mask & 0777);
            }
        }
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

void TakeTargetPermissions(const QString& written, const QString& target)
{
    struct stat info
    {
    };
    const bool replaces = ::stat(QFile::encodeName(target).constData(), &info) == 0 && S_ISREG(info.st_mode);
    ::chmod(QFile::encodeName(written).constData(), replaces ? info.st_mode & 07777 : 0666 & ~CurrentUmask());
}

bool WriteWholeFile(const QString& path, const std::function<bool(QIODevice&, QString*)>& write, QString* error)
{
    // Written beside the target and renamed over it once complete, so a full disk or a
    // failed write never leaves a part of a file under the name. Not synced to disk:
    // a batch writes thousands of files, and a sync each would cost more than the rest.
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open()) {
        SetError(error, file.errorString());
        return false;
    }
    if (!write(file, error))
        return false;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        SetError(error, file.errorString());
        return false;
    }
    file.close();
    TakeTargetPermissions(file.fileName(), path);
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        SetError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    file.setAutoRemove(false);
    return true;
}

namespace {

struct PngSink
{
    QIODevice* device;
    bool failed;
};

void WriteToPngFile(png_structp png, png_bytep data, png_size_t length)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (sink->device->write(reinterpret_cast<const char*>(data), static_cast<qint64>(length))
        != static_cast<qint64>(length)) {
        sink->failed = true;
        png_error(png, "write failed");
    }
}

void FlushPngFile(png_structp) {}

// Rows written with libpng between one setjmp and the end: nothing in here may need
// destroying, since a libpng error jumps straight back.
bool WritePngRows(QIODevice& device, const QImage& image, int colourType, int bitDepth, const png_color* palette,
                  int paletteSize)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    PngSink sink{&device, false};
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, WriteToPngFile, FlushPngFile);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()),
                 bitDepth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette)
        png_set_PLTE(png, info, palette, paletteSize);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(image.dotsPerMeterX()),
                     static_cast<png_uint_32>(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
    // Label pictures are mostly flat colour: the cheapest filter and zlib's fastest
    // level pack them nearly as small as the defaults, several times faster.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, palette ? PNG_FILTER_NONE : PNG_FILTER_SUB);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, image.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return !sink.failed;
}

} // namespace

bool WritePng(const QImage& image, const QString& path, QString* error)
{
    // 1-bit and indexed pictures keep their palette; anything else is 24-bit RGB.
    QImage rows = image;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    if (image.format() == QImage::Format_MonoLSB)
        rows = image.convertToFormat(QImage::Format_Mono);
    if (rows.format() == QImage::Format_Mono) {
        colourType = PNG_COLOR_TYPE_PALETTE;
        bitDepth = 1;
    } else if (rows.format() == QImage::Format_Indexed8) {
        colourType = PNG_COLOR_TYPE_PALETTE;
    } else if (rows.format() != QImage::Format_RGB888) {
        rows = rows.convertToFormat(QImage::Format_RGB888);
    }
    std::vector<png_color> palette;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        for (const QRgb c : rows.colorTable())
            palette.push_back({static_cast<png_byte>(qRed(c)), static_cast<png_byte>(qGreen(c)),
                               static_cast<png_byte>(qBlue(c))});
        if (palette.empty() || palette.size() > 256) {
            SetError(error, QStringLiteral("图片没有可用的调色板"));
            return false;
        }
    }
    return WriteWholeFile(
        path,
        [&](QIODevice& device, QString* why) {
            if (WritePngRows(device, rows, colourType, bitDepth, palette.empty() ? nullptr : palette.data(),
                             static_cast<int>(palette.size())))
                return true;
            SetError(why, device.errorString().isEmpty() ? QStringLiteral("PNG 图片写入失败") : device.errorString());
            return false;
        },
        error);
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
        SetError(error, QStringLiteral("图片太大，无法存为 GIF"));
        return false;
    }
    // The colour map holds a power of two entries, at least two.
    const QList<QRgb> table = indexed.colorTable();
    int bits = 1;
    while ((1 << bits) < table.size())
        ++bits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (!map) {
        SetError(error, QStringLiteral("内存不足"));
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
