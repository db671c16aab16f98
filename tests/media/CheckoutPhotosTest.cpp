// The tests read nothing outside the checkout unless a photo corpus is named (-DMARQUELO_CORPUS_DIR or
// the environment): a test that needs more skips and says why.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace marquelo {
namespace {

bool corpusNamed()
{
    const char* fromEnvironment = std::getenv("MARQUELO_CORPUS_DIR");
    return (fromEnvironment && *fromEnvironment) || *MARQUELO_CORPUS_DIR;
}

TEST(CheckoutPhotos, WithoutANamedCorpusEveryPhotoIsLookedForInTheCheckout)
{
    if (corpusNamed())
        GTEST_SKIP() << "a photo corpus is named: " << test::corpusDir();
    EXPECT_EQ(test::corpusDir(), "");
    EXPECT_FALSE(test::haveCorpus());
    const std::string checkout = test::sourceDir() + "/";
    for (const char* relative : {"camera/no-such-photo.jpg", "formats/no-such-picture.heic"}) {
        EXPECT_EQ(test::photo(relative).rfind(checkout, 0), 0u) << test::photo(relative);
        EXPECT_FALSE(test::havePhoto(relative));
    }
    EXPECT_EQ(test::photoFolder("broken").rfind(checkout, 0), 0u) << test::photoFolder("broken");
    EXPECT_NE(test::noCorpusReason().find("-DMARQUELO_CORPUS_DIR"), std::string::npos) << test::noCorpusReason();
}

} // namespace
} // namespace marquelo
