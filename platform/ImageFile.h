#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <optional>

class QIODevice;

// Picture files the program writes: the raster formats through Qt's writers or our
// GIF writer, EMF through the metafile device (EmfDevice.h).

enum class ImageFileFormat { Bmp, Jpeg, Gif, Tiff, Png, Emf };

// The format of a file-name suffix without its dot, letter case ignored: "bmp",
// "jpg", "jpeg", "gif", "tif", "tiff", "png", "emf". Nothing for any other suffix.
std::optional<ImageFileFormat> ImageFormatForSuffix(const QString& suffix);
// The same for the suffix of the path's file name: a '.' in a folder name does not
// count, and a name without one has no format.
std::optional<ImageFileFormat> ImageFormatForPath(const QString& path);

// Colour depths of picture export, as stored in the export choices.
enum ExportColourDepth : int {
    DepthMonochrome = 0,
    Depth16Colours = 1,
    Depth256Colours = 2,
    DepthTrueColour = 3,
};

// The picture in a depth: 1-bit black and white, 16 colours of the standard VGA
// palette, up to 256 colours, or 24-bit RGB (any other depth code). Colours are
// mapped to the nearest entry without dithering, so bar edges stay sharp. The
// resolution is kept.
QImage ConvertToDepth(const QImage& image, int depth);

// Writes a raster picture in a format other than EMF, resolution included where the
// format holds one. False when nothing whole was written (error says why).
bool SaveRasterImage(const QImage& image, const QString& path, ImageFileFormat format, QString* error = nullptr);

// PNG with its resolution: 1-bit and indexed pictures with their palette, anything
// else as 24-bit RGB, compressed for speed (batches write many).
bool WritePng(const QImage& image, const QString& path, QString* error = nullptr);

// GIF: indexed colour compressed with LZW. An image with more than 256 colours is
// first reduced to 256 without dithering.
bool WriteGif(const QImage& image, const QString& path, QString* error = nullptr);

// Writes a file whole or not at all: write fills the device and returns false (with
// error set) when it fails; a file that existed is replaced only on success.
bool WriteWholeFile(const QString& path, const std::function<bool(QIODevice&, QString*)>& write,
                    QString* error = nullptr);

// A file written beside its target and renamed over it is created private (0600);
// before the rename it gets the permissions writing in place would have given: those
// of the file it replaces, or for a new file 0666 less the process's umask.
void TakeTargetPermissions(const QString& written, const QString& target);
