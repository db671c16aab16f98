#include "core/settings/AppConfig.h"

#include <algorithm>
#include <type_traits>
#include <variant>

namespace marquelo {

namespace {

using K = SettingKind;
using R = DefaultRule;
using C = AppConfig;

constexpr SettingDef text(std::string_view key, std::string C::*field, std::string_view def, R rule = R::Fixed)
{
    return {key, K::String, field, def, 0, rule, true};
}
constexpr SettingDef flag(std::string_view key, bool C::*field, bool def, bool saved = true)
{
    return {key, K::Flag, field, {}, def ? 1 : 0, R::Fixed, saved};
}
constexpr SettingDef small(std::string_view key, std::uint8_t C::*field, int def)
{
    return {key, K::SmallNumber, field, {}, def, R::Fixed, true};
}
constexpr SettingDef number(std::string_view key, std::int32_t C::*field, int def)
{
    return {key, K::Number, field, {}, def, R::Fixed, true};
}
constexpr SettingDef colour(std::string_view key, ColourRef C::*field, ColourRef def)
{
    return {key, K::Colour, field, {}, std::int64_t(def), R::Fixed, true};
}

constexpr std::string_view kConvert = "marquelo-convert";

} // namespace

const std::array<SettingDef, 88> kSettings = {{
    text("InstallationPath", &C::InstallationPath, "", R::ProgramDirectory),
    text("BaseOutputDirectory", &C::BaseOutputDirectory, "", R::OutputUnderPictures),
    text("CurOutputDirectory", &C::CurOutputDirectory, "", R::OutputUnderPictures),
    text("CurPageSubdirectory", &C::CurPageSubdirectory, ""),
    flag("CreateSubdirectory", &C::CreateSubdirectory, true),
    text("OutputFilename", &C::OutputFilename, "index.html"),
    text("ImageCompressApp", &C::ImageCompressApp, kConvert),
    text("ImageCompressArg", &C::ImageCompressArg,
         R"("%1/%2" /crop=(%5) /resample=(%7,%6) /aspectratio /jpgq=85 /convert="%3/%4")"),
    flag("HideCompressApp", &C::HideCompressApp, false),
    text("ImageEditApp", &C::ImageEditApp, "gimp", R::FirstImageEditor),
    text("ImageEditArg", &C::ImageEditArg, R"("%1/%2")"),
    text("EditFileSuffix", &C::EditFileSuffix, "_edit"),
    text("HtmlEditor", &C::HtmlEditor, "xdg-open", R::FirstHtmlEditor),
    text("PreviewBrowser", &C::PreviewBrowser, "xdg-open"),
    text("RotateLeftApp", &C::RotateLeftApp, kConvert),
    text("RotateLeftArg", &C::RotateLeftArg, R"("%1/%2" /rotate_l /jpgq=95 /convert="%1/%2")"),
    flag("HideRotateLeftApp", &C::HideRotateLeftApp, false),
    text("RotateRightApp", &C::RotateRightApp, kConvert),
    text("RotateRightArg", &C::RotateRightArg, R"("%1/%2" /rotate_r /jpgq=95 /convert="%1/%2")"),
    flag("HideRotateRightApp", &C::HideRotateRightApp, false),
    text("FlipApp", &C::FlipApp, kConvert),
    text("FlipArg", &C::FlipArg, R"("%1/%2" /vflip /jpgq=95 /convert="%1/%2")"),
    flag("HideFlipApp", &C::HideFlipApp, false),
    text("MirrorApp", &C::MirrorApp, kConvert),
    text("MirrorArg", &C::MirrorArg, R"("%1/%2" /hflip /jpgq=95 /convert="%1/%2")"),
    flag("HideMirrorApp", &C::HideMirrorApp, false),
    text("Tool1App", &C::Tool1App, "xdg-open"),
    text("Tool1Arg", &C::Tool1Arg, R"("%1/%2")"),
    flag("HideTool1App", &C::HideTool1App, false),
    text("Tool2App", &C::Tool2App, "xdg-open"),
    text("Tool2Arg", &C::Tool2Arg, R"("%3")"),
    flag("HideTool2App", &C::HideTool2App, false),
    text("Tool3App", &C::Tool3App, ""),
    text("Tool3Arg", &C::Tool3Arg, R"("%1/%2")"),
    flag("HideTool3App", &C::HideTool3App, false),
    text("Tool4App", &C::Tool4App, ""),
    text("Tool4Arg", &C::Tool4Arg, R"("%1/%2")"),
    flag("HideTool4App", &C::HideTool4App, false),
    text("BestOfDirectory", &C::BestOfDirectory, "", R::FavoritesUnderPictures),
    flag("ShowToolbar", &C::ShowToolbar, true),
    flag("ShowImageInfo", &C::ShowImageInfo, true),
    flag("ConfirmDelete", &C::ConfirmDelete, true),
    flag("StartMaximized", &C::StartMaximized, true),
    flag("BundleEditedImages", &C::BundleEditedImages, true),
    flag("FullScreenTitleBar", &C::FullScreenTitleBar, true),
    flag("PageInfo", &C::PageInfo, false, /*saved=*/false),
    small("Sorting", &C::Sorting, 0),
    flag("ReadAhead", &C::ReadAhead, true),
    small("CurrentCfgTab", &C::CurrentCfgTab, 0),
    colour("BackgroundColor", &C::BackgroundColor, makeColour(212, 208, 196)),
    text("PageInfoCountry", &C::PageInfoCountry, ""),
    colour("PageBgColor", &C::PageBgColor, 0),
    colour("PageTextColor", &C::PageTextColor, makeColour(0, 255, 255)),
    flag("PageAutoLinkColor", &C::PageAutoLinkColor, true),
    colour("PageLinkColor", &C::PageLinkColor, makeColour(255, 136, 136)),
    number("PageLayoutStyle", &C::PageLayoutStyle, 0),
    number("PageLayoutTemp", &C::PageLayoutTemp, 0),
    text("PageBgImage", &C::PageBgImage, ""),
    number("CacheDepth", &C::CacheDepth, 1),
    text("OtherExtensions", &C::OtherExtensions, "*.mpg;*.mpeg;*.mov;*.wmv;*.avi;*.gif"),
    // Every in-camera format the viewer shows: HEIF as cameras name it (.hif) and the RAW files whose
    // embedded preview it draws. A stored value wins, so this reaches only settings made from now on.
    text("PictureExtensions", &C::PictureExtensions,
         "*.heic;*.heif;*.hif;*.avif;*.webp;*.png;*.tif;*.tiff;*.jxl;*.dng;*.cr2;*.cr3;*.crw;*.nef;*.nrw;*.arw;*.srf;"
         "*.sr2;*.orf;*.rw2;*.raf;*.pef;*.srw"),
    flag("BundleRawImages", &C::BundleRawImages, true),
    number("FavoriteSize", &C::FavoriteSize, 1),
    text("ImageTag", &C::ImageTag, R"(<img src="%4" height=%6 width=%7 alt="">)"),
    flag("ShowImageNumber", &C::ShowImageNumber, false),
    number("SizeSmall", &C::SizeSmall, 256),
    number("SizeMedium", &C::SizeMedium, 512),
    number("SizeLarge", &C::SizeLarge, 960),
    flag("HidePageOpenFailDlg", &C::HidePageOpenFailDlg, false),
    text("TemplateBegin1", &C::TemplateBegin1,
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
         "<html>\r\n"
         "<head>\r\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"),
    text("TemplateBegin2", &C::TemplateBegin2, ""),
    text("TemplateEnd", &C::TemplateEnd, "</i></font></p>\r\n</body>\r\n</html>"),
    number("PageStyle", &C::PageStyle, 0),
    flag("KeyHelpSeen", &C::KeyHelpSeen, false),
    small("SidecarNaming", &C::SidecarNaming, 0),
    small("PairDelete", &C::PairDelete, 0),
    small("CullFilter", &C::CullFilter, 0),
    text("SendTo1Directory", &C::SendTo1Directory, ""),
    text("SendTo2Directory", &C::SendTo2Directory, ""),
    text("SendTo3Directory", &C::SendTo3Directory, ""),
    text("SendTo4Directory", &C::SendTo4Directory, ""),
    text("PublishCommand", &C::PublishCommand, ""),
    text("PageBaseUrl", &C::PageBaseUrl, ""),
    flag("PagePhotoDetails", &C::PagePhotoDetails, false),
    flag("CaptionToSidecar", &C::CaptionToSidecar, true),
    text("CameraClockOffsets", &C::CameraClockOffsets, ""),
    flag("CompareFourPanes", &C::CompareFourPanes, false),
    small("Appearance", &C::Appearance, 0),
}};

const SettingDef* findSetting(std::string_view key)
{
    auto it = std::find_if(kSettings.begin(), kSettings.end(), [key](const SettingDef& d) { return d.key == key; });
    return it == kSettings.end() ? nullptr : &*it;
}

void setStoredNumber(AppConfig& config, const SettingDef& def, std::int64_t n)
{
    std::visit(
        [&](auto member) {
            using Field = std::remove_cvref_t<decltype(config.*member)>;
            if constexpr (std::is_same_v<Field, bool>)
                config.*member = n != 0;
            else if constexpr (std::is_same_v<Field, std::uint8_t>)
                config.*member = std::uint8_t(n & 0xff);
            else if constexpr (std::is_same_v<Field, std::int32_t>)
                config.*member = std::int32_t(std::uint32_t(n));
            else if constexpr (!std::is_same_v<Field, std::string>)
                config.*member = ColourRef(std::uint32_t(n));
        },
        def.field);
}

} // namespace marquelo
