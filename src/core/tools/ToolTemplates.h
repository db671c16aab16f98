#pragma once
// Argument templates of outside programs: the placeholders %1 to %7, the crop text, the target size of
// an added image, and the rule that turns a file name into the name of its output copy.

#include "core/settings/AppConfig.h"
#include "core/viewer/ViewGeometry.h"

#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

class ImageList;

// The size of the image being added. Values outside 0..4 count as Medium.
enum ImageSizeChoice : int {
    kSizeSmall = 0,
    kSizeMedium = 1,
    kSizeLarge = 2,
    kSizeUncompressed = 3,
    kSizeCurrent = 4,
};

// The process-wide size choice (0 at start): the add flow sets it, every expansion reads it.
int imageSizeChoice();
void setImageSizeChoice(int choice);

struct TargetSize {
    int width = 0;
    int height = 0;
    bool operator==(const TargetSize&) const = default;
};

// The pixel size a selection is resampled to: the long side limited by the chosen size setting (not
// enlarged), or the size it is drawn at for Current Size; the short side keeps the aspect, truncated.
// An empty source rectangle gives 0 x 0.
TargetSize targetSize(const Rect& source, const Rect& destination, int sizeChoice, const AppConfig& config);

// "left,top,width,height" of the source rectangle.
std::string cropText(const Rect& source);

// Everything the seven placeholders stand for.
struct ExpansionInput {
    std::string imageDirectory;  // %1
    std::string shownName;       // %2: the shown version's bare file name
    std::string outputDirectory; // %3
    std::string outputName;      // %4: when empty, outputCopyName(shownName)
    Rect source;                 // %5
    TargetSize size;             // %6 height, %7 width
};

// The template with each %1 .. %7 replaced once, left to right; the inserted text is never searched
// again. Literal and case-sensitive, nothing quoted or escaped, every other "%" left as it stands.
std::string expandToolArguments(std::string_view tmpl, const ExpansionInput& input);

// The template split into arguments as a command line is split, then each argument expanded: a file
// name with blanks or double quotes stays inside its one argument and can never start another.
std::vector<std::string> expandToolArgumentList(std::string_view tmpl, const ExpansionInput& input);

// The longest name of an output copy.
inline constexpr std::size_t kOutputNameLimit = 64;

// The lower-case ASCII name of an output copy: spaces become "_", only a-z 0-9 _ @ + = . - are kept,
// with a for ä/å, o for ö, u for ü/µ. At most 64 characters (a longer name is shortened in its stem and
// keeps its extension), possibly empty.
std::string normalizeOutputName(std::string_view name);

// `name` cut to `limit` characters by shortening the part before its extension.
std::string shortenOutputName(std::string_view name, std::size_t limit);
// The name of a page or favorite copy of `shownName`: normalizeOutputName, and ".jpg" in place of the
// extension for a picture browsers cannot show (the copy is made as a JPEG).
std::string outputCopyName(std::string_view shownName);

// The expansion input for the current entry of `images` as the viewer shows it, with the target size of
// `sizeChoice`. `outputName` empty means the normalized shown name.
ExpansionInput expansionFor(const ImageList& images, const ViewGeometry& geometry, const AppConfig& config,
                            std::string outputDirectory, int sizeChoice, std::string outputName = {});

} // namespace marquelo
