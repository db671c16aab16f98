#include "core/settings/PreferencesKeys.h"

#include <algorithm>
#include <variant>

namespace marquelo {

const std::array<std::string_view, 73> kPreferenceKeys = {{
    "InstallationPath",
    "BaseOutputDirectory",
    "CreateSubdirectory",
    "OutputFilename",
    "ImageCompressApp",
    "ImageCompressArg",
    "HideCompressApp",
    "ImageEditApp",
    "ImageEditArg",
    "EditFileSuffix",
    "HtmlEditor",
    "PreviewBrowser",
    "RotateLeftApp",
    "RotateLeftArg",
    "HideRotateLeftApp",
    "RotateRightApp",
    "RotateRightArg",
    "HideRotateRightApp",
    "FlipApp",
    "FlipArg",
    "HideFlipApp",
    "MirrorApp",
    "MirrorArg",
    "HideMirrorApp",
    "Tool1App",
    "Tool1Arg",
    "HideTool1App",
    "Tool2App",
    "Tool2Arg",
    "HideTool2App",
    "Tool3App",
    "Tool3Arg",
    "HideTool3App",
    "Tool4App",
    "Tool4Arg",
    "HideTool4App",
    "BestOfDirectory",
    "ShowToolbar",
    "ShowImageInfo",
    "ConfirmDelete",
    "StartMaximized",
    "BundleEditedImages",
    "FullScreenTitleBar",
    "Sorting",
    "ReadAhead",
    "BackgroundColor",
    "CacheDepth",
    "OtherExtensions",
    "PictureExtensions",
    "BundleRawImages",
    "FavoriteSize",
    "ImageTag",
    "ShowImageNumber",
    "SizeSmall",
    "SizeMedium",
    "SizeLarge",
    "TemplateBegin1",
    "TemplateBegin2",
    "TemplateEnd",
    "PageStyle",
    "SidecarNaming",
    "PairDelete",
    "SendTo1Directory",
    "SendTo2Directory",
    "SendTo3Directory",
    "SendTo4Directory",
    "PublishCommand",
    "PageBaseUrl",
    "PagePhotoDetails",
    "CaptionToSidecar",
    "CameraClockOffsets",
    "CompareFourPanes",
    "Appearance",
}};

bool isPreferenceKey(std::string_view key)
{
    return std::find(kPreferenceKeys.begin(), kPreferenceKeys.end(), key) != kPreferenceKeys.end();
}

void copyPreferenceKeys(const AppConfig& from, AppConfig& to)
{
    for (const SettingDef& def : kSettings) {
        if (!isPreferenceKey(def.key))
            continue;
        std::visit([&](auto member) { to.*member = from.*member; }, def.field);
    }
}

} // namespace marquelo
