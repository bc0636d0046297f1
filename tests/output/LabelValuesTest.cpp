// Values of each label: dates, named substrings, window data, barcodes, scripts.
#include "OutputSupport.h"
#include "TestSupport.h"

#include "barcode/BarcodeImpl_Code128.h"
#include "model/BarcodeGraph.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "platform/VXException.h"

#include <QDateTime>
#include <ctime>
#include <gtest/gtest.h>

namespace {

std::vector<std::unique_ptr<CDataBand>> Bands(std::unique_ptr<CDataBand> a, std::unique_ptr<CDataBand> b = nullptr)
{
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(std::move(a));
    if (b)
        bands.push_back(std::move(b));
    return bands;
}

std::unique_ptr<CDataBand> DateBand(int days, const QString& format = QStringLiteral("yyyy-MM-dd"))
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandDate;
    band->m_strDateTimeFormat = format;
    band->m_nDateTimeOffset = days;
    return band;
}

// Local time follows the given zone while it lives.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone) : m_had(qEnvironmentVariableIsSet("TZ")), m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_had;
    QByteArray m_old;
};

class RecordingEngine : public IScriptEngine
{
public:
    explicit RecordingEngine(QStringList* log) : m_log(log) {}
    void Load(CLabelData&, const ScriptModuleText& module) override { m_log->append("load:" + module.text); }
    void CallProcedure(const QString& name) override { m_log->append(name); }
    QStringList* m_log;
};

// Types "value<k>" into every text box at the k-th prompt.
class TypingPrompt : public IWindowDataPrompt
{
public:
    bool Prompt(const QString& caption, int, int, WindowDataTags& tags) override
    {
        ++calls;
        lastCaption = caption;
        for (auto& tag : tags) {
            if (tag->m_pItem->GetKind() == SDTextBox)
                tag->m_strValue = QStringLiteral("value%1").arg(calls);
        }
        return true;
    }
    int calls = 0;
    QString lastCaption;
};

// An encoder that refuses every content.
class RefusingCode128 : public CBarcodeImpl_Code128
{
public:
    void Encode() override { throw CBarcodeException(QStringLiteral("data too long")); }
};

// A barcode "Carton" whose encoder refuses every content.
CBarcodeGraph& AddRefusingBarcode(CLabelData& label)
{
    CBarcodeGraph& barcode = AddSerialBarcode(label, "Carton", 5, 1, 1);
    auto refusing = std::make_unique<RefusingCode128>();
    refusing->Attach(barcode.GetImpl()->GetSettings()->Clone(), barcode.GetImpl()->GetData()->Clone());
    barcode.m_pBarcodeImpl = std::move(refusing);
    return barcode;
}

// The message that stops previewing the first page; a test failure when nothing does.
QString PreviewStop(CLabelData& label, GeneratedLabels& items)
{
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(&label);
    job.Prepare();
    try {
        job.DrawPreviewPage(items, 1);
    } catch (const VXException& e) {
        return e.GetMessage();
    }
    ADD_FAILURE() << "the job must stop";
    return {};
}

} // namespace

TEST(LabelValues, DatesComeFromTheJobStartAndTheOffset)
{
    auto label = MakeGridLabel(1, 2);
    label->m_nPrintCount = 4;
    AddText(*label, "T", Bands(DateBand(0), DateBand(1, QStringLiteral("/dd"))));
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    const qint64 start = QDateTime(QDate(2024, 2, 28), QTime(12, 0)).toSecsSinceEpoch();
    job.SetClock([start] { return start; });
    job.Prepare();
    EXPECT_EQ(job.GetStartTime(), start);
    EXPECT_EQ(PreviewPage(job, 2).back().text, "2024-02-28/29");
}

TEST(LabelValues, DateOffsetsAreCalendarDaysAcrossDaylightSavingChanges)
{
    const ScopedTimeZone berlin("Europe/Berlin");
    struct Case
    {
        QDateTime startUtc;
        const char* dates; // offsets -1, 0 and 1
        const char* times; // offsets 0, 60 and 120 minutes
    };
    const Case cases[] = {
        // 23:30 before the spring change (a 23-hour day follows)
        {QDateTime(QDate(2024, 3, 30), QTime(22, 30), Qt::UTC), "03-29 03-30 03-31", "23:30 00:30 01:30"},
        // 00:30 after it
        {QDateTime(QDate(2024, 3, 31), QTime(22, 30), Qt::UTC), "03-31 04-01 04-02", "00:30 01:30 02:30"},
        {QDateTime(QDate(2024, 3, 31), QTime(0, 30), Qt::UTC), "03-30 03-31 04-01", "01:30 03:30 04:30"},
        // 00:30 on the autumn change day (a 25-hour day)
        {QDateTime(QDate(2024, 10, 26), QTime(22, 30), Qt::UTC), "10-26 10-27 10-28", "00:30 01:30 02:30"},
        // 00:30 after it
        {QDateTime(QDate(2024, 10, 27), QTime(23, 30), Qt::UTC), "10-27 10-28 10-29", "00:30 01:30 02:30"},
        {QDateTime(QDate(2024, 10, 27), QTime(0, 30), Qt::UTC), "10-26 10-27 10-28", "02:30 02:30 03:30"},
    };
    for (const Case& c : cases) {
        auto label = MakeGridLabel(1, 1);
        std::vector<std::unique_ptr<CDataBand>> bands;
        for (int days : {-1, 0, 1})
            bands.push_back(DateBand(days, days < 1 ? QStringLiteral("MM-dd ") : QStringLiteral("MM-dd")));
        AddText(*label, "T", std::move(bands));
        std::vector<std::unique_ptr<CDataBand>> times;
        for (int minutes : {0, 60, 120}) {
            auto band = DateBand(minutes, minutes < 120 ? QStringLiteral("HH:mm ") : QStringLiteral("HH:mm"));
            band->m_nKind = BandTime;
            times.push_back(std::move(band));
        }
        AddText(*label, "Clock", std::move(times));
        CPrintHandler job;
        job.SetMode(CPrintHandler::ModePreview);
        job.SetLabelData(label.get());
        const qint64 start = c.startUtc.toSecsSinceEpoch();
        job.SetClock([start] { return start; });
        job.Prepare();
        const std::string when = c.startUtc.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(PreviewPage(job, 1).at(0).text, QString::fromLatin1(c.dates)) << when;
        EXPECT_EQ(PreviewPage(job, 1, "Clock").at(0).text, QString::fromLatin1(c.times)) << when;
    }
}

TEST(LabelValues, NamedSubstringsAreComputedBeforeTheObjects)
{
    auto label = MakeGridLabel(1, 3);
    label->m_nPrintCount = 3;
    auto serial = SerialBand(7);
    serial->m_strName = "Lot";
    label->m_namedSubstrings.push_back(std::move(serial));
    auto nested = std::make_unique<CDataBand>();
    nested->m_nKind = BandNamedSubstring;
    nested->m_strName = "Nested";
    nested->m_strRefBandName = "Lot";
    nested->m_strCurrentValue = "kept";
    label->m_namedSubstrings.push_back(std::move(nested));
    auto ref = std::make_unique<CDataBand>();
    ref->m_nKind = BandNamedSubstring;
    ref->m_strRefBandName = "Lot";
    ref->m_strPrefix = "L-";
    auto nestedRef = std::make_unique<CDataBand>();
    nestedRef->m_nKind = BandNamedSubstring;
    nestedRef->m_strRefBandName = "Nested";
    AddText(*label, "T", Bands(std::move(ref), std::move(nestedRef)));
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.Prepare();
    const auto cells = PreviewPage(job, 1);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[2].text, "L-9kept");
}

TEST(LabelValues, WindowDataIsAskedForEveryLabel)
{
    auto label = MakeGridLabel(1, 2);
    label->m_nPrintCount = 2;
    auto caption = std::make_unique<CStaticSDGraph>();
    caption->m_strName = "Caption";
    label->m_formItems.push_back(std::move(caption));
    auto box = std::make_unique<CEditSDGraph>();
    box->m_strName = "Batch";
    label->m_formItems.push_back(std::move(box));
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandWindowData;
    band->m_strWindowItem = "Batch";
    AddText(*label, "T", Bands(std::move(band)));
    TypingPrompt prompt;
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.SetWindowDataPrompt(&prompt);
    job.Prepare();
    EXPECT_EQ(job.GetWindowDataTags().size(), 2u);
    const auto cells = PreviewPage(job, 1);
    EXPECT_EQ(prompt.calls, 2);
    EXPECT_EQ(prompt.lastCaption, label->m_strFormCaption);
    EXPECT_EQ(cells[0].text, "value1");
    EXPECT_EQ(cells[1].text, "value2");

    // A form of static texts only asks nothing.
    label->m_formItems.pop_back();
    TypingPrompt unused;
    CPrintHandler quiet;
    quiet.SetLabelData(label.get());
    quiet.SetWindowDataPrompt(&unused);
    quiet.Prepare();
    PreviewPage(quiet, 1);
    EXPECT_EQ(unused.calls, 0);
}

TEST(LabelValues, BarcodesAreRebuiltOnlyWhenTheirContentChanges)
{
    auto label = MakeGridLabel(1, 3);
    label->m_nPrintCount = 3;
    CBarcodeGraph& serial = AddSerialBarcode(*label, "B", 41, 1, 1);
    CBarcodeGraph& fixed = AddSerialBarcode(*label, "F", 0, 1, 1);
    fixed.GetImpl()->GetSettings()->m_bandList.clear();
    fixed.GetImpl()->GetSettings()->m_bandList.push_back(ConstantBand("SAME"));
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.Prepare();
    PreviewPage(job, 1);
    EXPECT_EQ(serial.GetImpl()->GetSettings()->m_strContent, "43");
    EXPECT_GT(serial.m_fWidth, 5.0f);
    EXPECT_FLOAT_EQ(serial.m_fWidth, serial.GetImpl()->GetSettings()->m_fWidth);
    // Same content on the next page: the symbol and the size the object has stay.
    fixed.m_fWidth = 99.0f;
    PreviewPage(job, 1);
    EXPECT_FLOAT_EQ(fixed.m_fWidth, 99.0f);
}

TEST(LabelValues, AnUnencodableBarcodeStopsTheJobNamingObjectAndValue)
{
    auto label = MakeGridLabel(1, 1);
    AddRefusingBarcode(*label);
    GeneratedLabels items;
    const QString message = PreviewStop(*label, items);
    EXPECT_TRUE(message.contains("Carton")) << message.toStdString();
    EXPECT_TRUE(message.contains("“5”")) << message.toStdString();
    EXPECT_TRUE(message.contains("data too long"));
    EXPECT_TRUE(items.empty());
}

TEST(LabelValues, AnUnencodableLongValueIsNamedByItsStart)
{
    auto label = MakeGridLabel(1, 1);
    DataBandList& bands = AddRefusingBarcode(*label).GetImpl()->GetSettings()->m_bandList;
    bands.clear();
    const QString value = QStringLiteral("0123456789").repeated(6554);
    bands.push_back(ConstantBand(value));
    GeneratedLabels items;
    EXPECT_EQ(PreviewStop(*label, items),
              QStringLiteral("条码“Carton”无法编码“%1…”：data too long").arg(value.left(100)));
}

TEST(LabelValues, ScriptEventsAreCalledInOrderOnlyWhenSet)
{
    auto label = MakeGridLabel(1, 2);
    label->m_nPrintCount = 2;
    label->m_strScripts[ScriptShared] = "Dim x";
    label->m_strScripts[ScriptOnPageStart] = "x = 1";
    label->m_strScripts[ScriptOnLabelStart] = "x = x + 1";
    label->m_strScripts[ScriptOnPrintEnd] = "x = 0";
    label->m_strScripts[ScriptOnBeforePrompt] = "never";
    QStringList log;
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.SetScriptEngine(std::make_unique<RecordingEngine>(&log));
    job.Prepare();
    PreviewPage(job, 1);
    const QString module = "\nDim x\n"
                           "\nSub OnPrintEnd()\nx = 0\nEnd Sub\n"
                           "\nSub OnPageStart()\nx = 1\nEnd Sub\n"
                           "\nSub OnLabelStart()\nx = x + 1\nEnd Sub\n";
    EXPECT_EQ(log, (QStringList{"load:" + module, "OnPageStart", "OnLabelStart", "OnLabelStart"}));

    // Printing calls every set event at its point: the job's start, around each page
    // and each label.
    label->m_strScripts[ScriptOnPrintStart] = "x = 5";
    label->m_strScripts[ScriptOnPageEnd] = "x = 6";
    label->m_strScripts[ScriptOnLabelEnd] = "x = 7";
    QStringList printed;
    CPrintHandler print;
    print.SetLabelData(label.get());
    print.SetScriptEngine(std::make_unique<RecordingEngine>(&printed));
    print.Prepare();
    QImage page(10, 10, QImage::Format_ARGB32);
    QPainter painter(&page);
    print.DrawPage(painter, 1);
    painter.end();
    ASSERT_FALSE(printed.isEmpty());
    printed.removeFirst();
    EXPECT_EQ(printed, (QStringList{"OnPrintStart", "OnPageStart", "OnLabelStart", "OnLabelEnd", "OnLabelStart",
                                    "OnLabelEnd", "OnPageEnd"}));

    // Every text at its default: no module, no calls.
    auto plain = MakeGridLabel(1, 1);
    QStringList none;
    CPrintHandler quiet;
    quiet.SetLabelData(plain.get());
    quiet.SetScriptEngine(std::make_unique<RecordingEngine>(&none));
    quiet.Prepare();
    PreviewPage(quiet, 1);
    EXPECT_TRUE(none.isEmpty());
    EXPECT_TRUE(quiet.GetScriptModule().isEmpty());
}

TEST(LabelValues, ModeChoosesTheObjectsThatGetValues)
{
    auto label = MakeGridLabel(1, 1);
    CTextGraph& hidden = AddText(*label, "T", Bands(ConstantBand("preview")));
    hidden.m_bHiddenInPreview = true;
    hidden.m_strText = "before";
    CTextGraph& unbound = AddText(*label, "U", {});
    unbound.m_strText = "typed";
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.Prepare();
    const auto cells = PreviewPage(job, 1, "U");
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].text, "typed") << "an object without bands keeps its text";
    EXPECT_EQ(hidden.m_strText, "before");
}
