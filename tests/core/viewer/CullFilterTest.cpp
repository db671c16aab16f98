// The cull's filter: which ratings it shows, how the walk steps over hidden photos, the counts, and the
// background read of a folder's marks it relies on.
#include "core/viewer/CullFilter.h"
#include "core/viewer/MarksScanner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace marquelo {
namespace {

TEST(CullFilter, ShowsTheRatingsItNames)
{
    const int reject = -1;
    EXPECT_TRUE(passesFilter(CullFilter::All, reject));
    EXPECT_FALSE(passesFilter(CullFilter::NotRejected, reject));
    EXPECT_TRUE(passesFilter(CullFilter::NotRejected, 0));
    EXPECT_FALSE(passesFilter(CullFilter::AtLeast3, 2));
    EXPECT_TRUE(passesFilter(CullFilter::AtLeast3, 3));
    EXPECT_TRUE(passesFilter(CullFilter::AtLeast1, 5));
    EXPECT_FALSE(passesFilter(CullFilter::AtLeast1, 0));
    EXPECT_FALSE(passesFilter(CullFilter::AtLeast5, 4));
    EXPECT_TRUE(passesFilter(CullFilter::RejectedOnly, reject));
    EXPECT_FALSE(passesFilter(CullFilter::RejectedOnly, 0));
    // A stored value from a newer or damaged settings file shows everything rather than nothing.
    EXPECT_EQ(cullFilterFromSetting(200), CullFilter::All);
    // Ctrl+F goes round every filter and back to All.
    CullFilter f = CullFilter::All;
    for (int i = 0; i < int(CullFilter::Count_); ++i)
        f = nextCullFilter(f);
    EXPECT_EQ(f, CullFilter::All);
    EXPECT_EQ(cullFilterName(CullFilter::AtLeast3), QStringLiteral("\u22653\u2605"));
    EXPECT_TRUE(cullFilterName(CullFilter::All).isEmpty());
}

TEST(CullFilter, StepsOverHiddenPhotosAndNeverPastTheLastShown)
{
    //                       0  1  2  3  4  5  6  7
    const std::vector<int> ratings{0, 3, -1, 4, 0, 5, 1, 0};
    const FilterTest atLeast3 = [&](int i) { return passesFilter(CullFilter::AtLeast3, ratings[std::size_t(i)]); };
    const int n = int(ratings.size());
    EXPECT_EQ(stepFiltered(n, 0, 1, atLeast3), 1);
    EXPECT_EQ(stepFiltered(n, 1, 1, atLeast3), 3);
    EXPECT_EQ(stepFiltered(n, 3, 2, atLeast3), 5) << "clamps at the last shown photo";
    EXPECT_EQ(stepFiltered(n, 5, 1, atLeast3), 5) << "no shown photo after: stays";
    EXPECT_EQ(stepFiltered(n, 7, -1, atLeast3), 5);
    EXPECT_EQ(stepFiltered(n, 5, -5, atLeast3), 1);
    EXPECT_EQ(firstFiltered(n, atLeast3), 1);
    EXPECT_EQ(lastFiltered(n, atLeast3), 5);
    EXPECT_EQ(firstFiltered(n, [](int) { return false; }), -1);

    // Counts: 3 photos pass; the current one counts even when its new rating left the filter.
    EXPECT_EQ(filteredPosition(n, 3, atLeast3).position, 2);
    EXPECT_EQ(filteredPosition(n, 3, atLeast3).count, 3);
    EXPECT_EQ(filteredPosition(n, 4, atLeast3).position, 3);
    EXPECT_EQ(filteredPosition(n, 4, atLeast3).count, 4);
}

TEST(MarksScanner, ReadsAWholeFolderInTheBackgroundNearestFirst)
{
    QTemporaryDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 150; ++i) {
        const std::string photo = dir.filePath(QStringLiteral("p%1.jpg").arg(i, 3, 10, QChar('0'))).toStdString();
        std::ofstream(photo) << "not read";
        std::ofstream(photo + ".xmp") << "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                                         "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                                         "rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:Rating=\""
                                      << (i % 7) - 1 << "\"/></rdf:RDF></x:xmpmeta>";
        paths.push_back(photo);
    }
    std::map<std::string, int> ratings;
    std::vector<std::string> order;
    MarksScanner scanner([&](MarksScanner::Batch&& batch) {
        for (auto& [path, known] : batch) {
            ratings[path] = known.marks.rating;
            order.push_back(path);
        }
    });
    scanner.scan(paths, 100);
    QElapsedTimer timer;
    timer.start();
    while (ratings.size() < paths.size() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(ratings.size(), paths.size());
    for (int i = 0; i < 150; ++i)
        EXPECT_EQ(ratings[paths[std::size_t(i)]], (i % 7) - 1) << i;
    EXPECT_EQ(order.front(), paths[100]);
    EXPECT_EQ(order[1], paths[101]);
    EXPECT_EQ(order[2], paths[99]);
}

} // namespace
} // namespace marquelo
