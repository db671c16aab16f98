// Every addition reads the whole page to number the next image, and a reopen rebuilds it line by line.
// The baseline is reading the file alone, which no page format can avoid; the figures to read are the
// ratios of the other two against it, on pages of 100 and 2000 images.
#include "core/page/PageFile.h"
#include "core/page/PageFormat.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace marquelo;

const std::string kEnd = "</i></font></p>\r\n</body>\r\n</html>";

std::string pageOf(int images)
{
    PageHeader header;
    header.title = "Summer";
    header.dateText = "July 5, 2006";
    std::string page = headerText(header);
    for (int n = 2; n < images + 2; ++n)
        page += anchorText(n) +
                pictureFragmentText(n % 2 ? FragmentKind::ImageLeft : FragmentKind::ImageRight,
                                    "<img src=\"dsc0" + std::to_string(n) + ".jpg\" height=341 width=512 alt=\"\">",
                                    "A caption of a usual length, with a few words about the photo");
    return page + kEnd + "\r\n";
}

struct PageOnDisk {
    QTemporaryDir dir;
    std::string path;
    explicit PageOnDisk(int images) : path(dir.filePath("index.html").toStdString())
    {
        PageFile::rewrite(path, pageOf(images));
    }
};

void BM_ReadPage(benchmark::State& state)
{
    PageOnDisk page(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(PageFile::read(page.path));
}

void BM_NextImageNumber(benchmark::State& state)
{
    PageOnDisk page(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(highestAnchor(*PageFile::read(page.path)) + 1);
}

void BM_CutEnding(benchmark::State& state)
{
    PageOnDisk page(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(withoutEnding(*PageFile::read(page.path), kEnd));
}

BENCHMARK(BM_ReadPage)->Arg(100)->Arg(2000);
BENCHMARK(BM_NextImageNumber)->Arg(100)->Arg(2000);
BENCHMARK(BM_CutEnding)->Arg(100)->Arg(2000);

} // namespace

BENCHMARK_MAIN();
