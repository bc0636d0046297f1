#pragma once

#include "model/BaseGraph.h"
#include "platform/ImageHolder.h"

#include <memory>

enum ImageSourceKind : int32_t {
    ImageEmbedded = 0,   // the bytes travel in the label file
    ImageLinked = 1,     // loaded from the file name when the label is opened
    ImageDataSource = 2, // loaded per data row when printing
};

enum ImageSizeMode : int32_t {
    ImageSizeProportional = 0, // height follows the width by the picture's proportions
    ImageSizeOriginal = 1,     // the picture's pixels at screen resolution
    ImageSizeFitBox = 2,       // the box stays
};

// What printing does when the picture is missing or fails.
enum ImageErrorHandling : int32_t {
    ImageErrorIgnore = 0,
    ImageErrorAsk = 1,
    ImageErrorAbort = 2,
};

// A picture stretched into the object's box. The size mode only guides the editor;
// drawing always fills the box.
class CImageGraph : public CBaseGraph
{
public:
    CImageGraph();

    // Nothing without a picture; bytes that cannot be decoded show the placeholder.
    void Draw(QPainter& graphics) const override;
    std::unique_ptr<CBaseGraph> Clone() const override;
    // Copies the fields and gives this object its own copy of the source's picture.
    void CopyFrom(const CBaseGraph& source) override;

    int32_t m_nSourceKind = ImageEmbedded;
    QString m_strFileName;
    QString m_strMimeType;
    QString m_strDataSource;
    QString m_strFieldName;
    QString m_strSuffix;
    QString m_strPrefix;
    int32_t m_nSizeMode = ImageSizeProportional;
    int32_t m_nErrorHandling = ImageErrorIgnore;
    std::unique_ptr<ImageHolder> m_pImage; // null: no picture
};
