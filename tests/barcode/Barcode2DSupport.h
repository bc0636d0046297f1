#pragma once

#include <QByteArray>
#include <QImage>
#include <ZXing/BarcodeFormat.h>
#include <optional>

// Reads one symbol of the given format from the image with zxing-cpp; returns its
// content bytes, or nothing when no symbol was read.
std::optional<QByteArray> DecodeWithZXing(const QImage& image, ZXing::BarcodeFormat format);
