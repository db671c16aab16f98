#pragma once
// The one record of every setting, and the table that declares each key once: its name, its kind,
// its default and the field that holds it. Load, save, the preferences dialog and the tests all read
// that table, so a key can never be loaded under one name and saved under another.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace marquelo {

// A colour as stored: red in bits 0-7, green 8-15, blue 16-23, bits 24-31 zero.
using ColourRef = std::uint32_t;
constexpr ColourRef makeColour(int r, int g, int b)
{
    return ColourRef(r & 0xff) | (ColourRef(g & 0xff) << 8) | (ColourRef(b & 0xff) << 16);
}
constexpr int colourRed(ColourRef c)
{
    return int(c & 0xff);
}
constexpr int colourGreen(ColourRef c)
{
    return int((c >> 8) & 0xff);
}
constexpr int colourBlue(ColourRef c)
{
    return int((c >> 16) & 0xff);
}

// Every setting, one field per key, named exactly like the key. Strings are UTF-8.
// ConfigIsValid is not here: it lives only in the store (read at load and at exit, written by Save).
struct AppConfig {
    std::string InstallationPath;
    std::string BaseOutputDirectory;
    std::string CurOutputDirectory;
    std::string CurPageSubdirectory;
    bool CreateSubdirectory = true;
    std::string OutputFilename;
    std::string ImageCompressApp;
    std::string ImageCompressArg;
    bool HideCompressApp = false;
    std::string ImageEditApp;
    std::string ImageEditArg;
    std::string EditFileSuffix;
    std::string HtmlEditor;
    std::string PreviewBrowser;
    std::string RotateLeftApp;
    std::string RotateLeftArg;
    bool HideRotateLeftApp = false;
    std::string RotateRightApp;
    std::string RotateRightArg;
    bool HideRotateRightApp = false;
    std::string FlipApp;
    std::string FlipArg;
    bool HideFlipApp = false;
    std::string MirrorApp;
    std::string MirrorArg;
    bool HideMirrorApp = false;
    std::string Tool1App;
    std::string Tool1Arg;
    bool HideTool1App = false;
    std::string Tool2App;
    std::string Tool2Arg;
    bool HideTool2App = false;
    std::string Tool3App;
    std::string Tool3Arg;
    bool HideTool3App = false;
    std::string Tool4App;
    std::string Tool4Arg;
    bool HideTool4App = false;
    std::string BestOfDirectory;
    bool ShowToolbar = true;
    bool ShowImageInfo = true;
    bool ConfirmDelete = true;
    bool StartMaximized = true;
    bool BundleEditedImages = true;
    bool FullScreenTitleBar = true;
    bool PageInfo = false;
    std::uint8_t Sorting = 0;
    bool ReadAhead = true;
    std::uint8_t CurrentCfgTab = 0;
    ColourRef BackgroundColor = makeColour(212, 208, 196);
    std::string PageInfoCountry;
    ColourRef PageBgColor = 0;
    ColourRef PageTextColor = makeColour(0, 255, 255);
    bool PageAutoLinkColor = true;
    ColourRef PageLinkColor = makeColour(255, 136, 136);
    std::int32_t PageLayoutStyle = 0;
    std::int32_t PageLayoutTemp = 0;
    std::string PageBgImage;
    std::int32_t CacheDepth = 1;
    std::string OtherExtensions;
    // Pictures of today's formats, listed after the JPEGs; empty lists JPEG only.
    std::string PictureExtensions;
    // A camera RAW file rides with its JPEG twin instead of being listed on its own.
    bool BundleRawImages = true;
    std::int32_t FavoriteSize = 1;
    std::string ImageTag;
    bool ShowImageNumber = false;
    std::int32_t SizeSmall = 256;
    std::int32_t SizeMedium = 512;
    std::int32_t SizeLarge = 960;
    bool HidePageOpenFailDlg = false;
    std::string TemplateBegin1;
    std::string TemplateBegin2;
    std::string TemplateEnd;
    std::int32_t PageStyle = 0; // 0 Classic, 1 Modern; what a new page is made as
    // The key help was opened once: the start-up hint "Press ? for keys" is no longer shown.
    bool KeyHelpSeen = false;
    // The cull. A new sidecar is named NAME.EXT.xmp (0, as darktable and digiKam) or NAME.xmp (1, Adobe).
    std::uint8_t SidecarNaming = 0;
    // Delete of a RAW+JPEG pair: both files (0) or the JPEG only (1).
    std::uint8_t PairDelete = 0;
    // Which photos the walk and the grid show: see core/viewer/CullFilter.h.
    std::uint8_t CullFilter = 0;
    std::string SendTo1Directory;
    std::string SendTo2Directory;
    std::string SendTo3Directory;
    std::string SendTo4Directory;
    // Puts a page online (Shift+P): a program and its arguments, %P the page's folder, %N its name.
    std::string PublishCommand;
    // Where the base output folder is published (http or https); a Modern page made while it is set
    // carries the tags that give a link to it a preview in chats. Empty: no such tags.
    std::string PageBaseUrl;
    // A Modern photo shows its camera, lens, exposure, aperture and ISO in a line under it.
    bool PagePhotoDetails = false;
    // A caption typed for a page also becomes the photo's description (dc:description) in its sidecar.
    bool CaptionToSidecar = true;
    // Clocks of cameras that were not on the photos' time, for the capture-time order: one camera a
    // line, "Make Model = seconds" (see core/viewer/CaptureTime.h).
    std::string CameraClockOffsets;
    // The compare view (Shift+C) opens with four panes (2 x 2) instead of two.
    bool CompareFourPanes = false;
    // How the viewer looks: 0 Classic (the look the program always had), 1 Modern (dark, with overlays).
    std::uint8_t Appearance = 0;

    bool operator==(const AppConfig&) const = default;
};

// How a key is stored. A flag reads any non-zero number as on; a small number keeps only its low byte.
enum class SettingKind { String, Flag, SmallNumber, Number, Colour };

// Where a key's default comes from: a fixed value, or a value derived from InstallationPath at load.
enum class DefaultRule {
    Fixed,
    ProgramDirectory,    // InstallationPath: the running executable's folder when empty
    OutputUnderPictures, // pictures folder + "/Marquelo" (platform default of the output folders)
    FavoritesUnderPictures,
    FirstImageEditor, // the first image editor found on PATH
    FirstHtmlEditor,  // the first text editor found on PATH
};

using SettingField = std::variant<std::string AppConfig::*, bool AppConfig::*, std::uint8_t AppConfig::*,
                                  std::int32_t AppConfig::*, ColourRef AppConfig::*>;

struct SettingDef {
    std::string_view key;
    SettingKind kind;
    SettingField field;
    std::string_view textDefault; // for strings with a fixed default
    std::int64_t numberDefault;   // for flags, numbers and colours
    DefaultRule rule;
    bool saved; // PageInfo is read but never written
};

// The 88 keys of the record in load and save order; ConfigIsValid (the 89th) is written after them.
extern const std::array<SettingDef, 88> kSettings;

inline constexpr std::string_view kConfigIsValidKey = "ConfigIsValid";
inline constexpr int kProgramVersion = 16;
inline constexpr std::string_view kAppName = "Marquelo";

// Looks a key up in kSettings; nullptr when there is no such key.
const SettingDef* findSetting(std::string_view key);

// Sets the flag, number or colour `def` names from a stored number, as a 32-bit register would hold
// it (a text setting is left alone).
void setStoredNumber(AppConfig& config, const SettingDef& def, std::int64_t n);

} // namespace marquelo
