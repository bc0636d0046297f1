// The one table of data-source types: every code once, and each entry's description
// and loader are of its own type.
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/DataSourceTypes.h"
#include "platform/VXException.h"

#include <gtest/gtest.h>
#include <set>

TEST(DataSourceTypes, EveryCodeOnceWithItsOwnDescriptionAndLoader)
{
    std::set<int32_t> codes;
    std::set<int> radios;
    for (const DataSourceTypeInfo& info : DataSourceTypes()) {
        SCOPED_TRACE(info.type);
        EXPECT_TRUE(codes.insert(info.type).second);
        EXPECT_TRUE(radios.insert(info.wizardRadioId).second);
        EXPECT_EQ(FindDataSourceType(info.type), &info);
        EXPECT_EQ(CDSBase::Create(info.type)->GetType(), info.type);
        EXPECT_TRUE(info.typeName || info.fileNames[0].tail);
        const bool readable = info.type != DSOLEDB && info.type != DSODBC;
        EXPECT_EQ(info.makeLoader != nullptr, readable);
        if (readable)
            EXPECT_NE(CDLBase::CreateLoader(info.type), nullptr);
        else
            EXPECT_THROW(CDLBase::CreateLoader(info.type), CDataSourceException);
    }
    EXPECT_EQ(codes.size(), size_t(kDataSourceTypeCount));
    EXPECT_EQ(*codes.rbegin(), kDataSourceTypeCount - 1);
    EXPECT_EQ(FindDataSourceType(kDataSourceTypeCount), nullptr);
    EXPECT_EQ(CDSBase::Create(-1), nullptr);
}
