// A data row may name any path as its picture: a pipe, a device or an endless /proc
// file is a missing picture, found at once.
#include "OutputSupport.h"
#include "TestSupport.h"
#include "model/ImageGraph.h"
#include "platform/ImageHolder.h"
#include "platform/VXException.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PictureLimits, DataRowPicturesAtPipesDevicesAndProcFilesAreMissing)
{
    QTemporaryDir dir;
    const QStringList paths = HostilePaths(dir.path());
    for (int abort : {ImageErrorIgnore, ImageErrorAbort}) {
        auto label = MakeGridLabel(1, 3);
        AddSource(*label, "S", {"Picture"});
        auto image = std::make_unique<CImageGraph>();
        image->m_strName = "Photo";
        image->m_nSourceKind = ImageDataSource;
        image->m_strDataSource = "S";
        image->m_strFieldName = "Picture";
        image->m_nErrorHandling = abort;
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::Placeholder());
        label->m_objects.push_back(std::move(image));
        CPrintHandler job;
        job.SetMode(CPrintHandler::ModePreview);
        job.SetLabelData(label.get());
        std::vector<QStringList> rows;
        for (const QString& path : paths)
            rows.push_back({path});
        job.SetLoaderFactory([rows](const CDSBase&) { return std::make_unique<FakeLoader>(rows); });
        job.Prepare();
        GeneratedLabels items;
        if (abort == ImageErrorAbort) {
            EXPECT_THROW(job.DrawPreviewPage(items, 1), VXException);
            continue;
        }
        job.DrawPreviewPage(items, 1);
        ASSERT_EQ(items.size(), 3u);
        for (const auto& item : items)
            EXPECT_FALSE(static_cast<const CImageGraph&>(*item->m_objects[0]).m_pImage);
    }
}
