// Inputs shaped to cost time or memory: a 2.4 MB label holding twenty 7000 x 4000
// pictures that compress to almost nothing, and a 256 MB text data file as one line
// against the same bytes in lines. Counters: heap_MB is what the opened label
// holds; file_MB the size of the input.
#include "model/DSBase.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/TextLoader.h"
#include "platform/ImageHolder.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

double HeapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

QByteArray LabelWithLargePictures()
{
    QImage white(7000, 4000, QImage::Format_RGB32);
    white.fill(Qt::white);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    white.save(&buffer, "PNG", 9);
    CLabelData label;
    for (int i = 0; i < 20; ++i) {
        auto image = std::make_unique<CImageGraph>();
        image->m_strMimeType = "image/png";
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(png));
        label.m_objects.push_back(std::move(image));
    }
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    return writer.DocumentBytes();
}

void BM_OpenLabelWithLargePictures(benchmark::State& state)
{
    const QByteArray bytes = LabelWithLargePictures();
    double held = 0;
    for (auto _ : state) {
        const double before = HeapBytes();
        CLabelData label;
        CDocReaderV1_0 reader;
        reader.m_pLabelData = &label;
        reader.ReadDocumentData(bytes);
        benchmark::DoNotOptimize(label.m_objects.data());
        held = HeapBytes() - before;
    }
    state.counters["file_MB"] = bytes.size() / 1e6;
    state.counters["heap_MB"] = held / 1e6;
}
BENCHMARK(BM_OpenLabelWithLargePictures)->Unit(benchmark::kMillisecond)->Iterations(3);

// Argument 0: one line of 256 MB; 1: the same bytes with a line feed every 100.
void BM_TextLongLine(benchmark::State& state)
{
    QTemporaryDir dir;
    const bool lines = state.range(0) != 0;
    const QString path = dir.filePath("line.txt");
    {
        QByteArray block(1 << 20, 'x');
        if (lines)
            for (qsizetype i = 99; i < block.size(); i += 100)
                block[i] = '\n';
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        for (int i = 0; i < 256; ++i)
            file.write(block);
    }
    CTextDS ds;
    ds.m_strPath = path;
    ds.m_nSeparator = TextSeparatorNone;
    CTextDL loader;
    loader.SetDataSource(&ds);
    for (auto _ : state)
        benchmark::DoNotOptimize(loader.GetRecordCount());
    state.counters["file_MB"] = 256 * 1.048576;
}
BENCHMARK(BM_TextLongLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
