// The program's front, the `marquelo` executable. It links only libjpeg, xcb and xkbcommon, so its first
// line runs a few milliseconds after the process starts instead of after Qt's hundred libraries are
// linked. Started on one photo, it maps the early window and decodes the photo into it on a thread of
// its own, while loading the program (`marquelo_program.so`, Qt and everything else) here; then it hands
// the window over and runs the program.
#include "launch/EarlyXWindow.h"
#include "launch/LaunchHandOff.h"
#include "launch/StartJpeg.h"
#include "launch/StoredSettings.h"

#include "core/settings/CommandLine.h"
#include "core/settings/PrivateModules.h"
#include "core/settings/StartPath.h"
#include "core/settings/StartupTrace.h"
#include "core/viewer/EarlyWindowPlan.h"
#include "core/viewer/PictureFormats.h"
#include "media/RegularFile.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace marquelo;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
}

std::filesystem::path executablePath()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec);
}

// The settings store's numbers, read as the viewer window will read them; nothing before the first run
// stored them.
std::optional<AppConfig> storedConfig(const std::filesystem::path& executable)
{
    // Far larger than any store the program writes; a file grown beyond it is not read at start.
    constexpr std::size_t kMaxStoreBytes = 1 << 20;
    const media::FileBytes file =
        media::readRegularFile(storedSettingsFile(executable.string(), environment), kMaxStoreBytes);
    if (!file.ok)
        return std::nullopt;
    return storedNumbers(std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
}

// The early window for the start photo `path`, when the settings and the display allow one (the reason
// is noted when not).
std::unique_ptr<EarlyXWindow> openEarlyWindow(const CommandLine& line, std::vector<EarlyNote>& notes)
{
    const std::string& path = line.paths.front();
    // What the program decodes while it starts: a file the folder listing shows as a picture.
    const bool startPicture =
        media::isRegularFile(path) && listedByDefault(std::filesystem::path(path).filename().string());
    const bool qtOptions = line.qtArguments.size() > 1;
    // Everything that needs no file first: most starts that go without it end here.
    if (const std::string reason = earlyWindowRuledOut(startPicture, qtOptions, environment); !reason.empty()) {
        notes.push_back({false, "no early window: " + reason});
        return nullptr;
    }
    const std::filesystem::path executable = executablePath();
    const std::optional<AppConfig> config = storedConfig(executable);
    EarlyWindowChoice choice = chooseEarlyWindow(startPicture, qtOptions, config ? &*config : nullptr, environment);
    if (!choice.plan) {
        notes.push_back({false, "no early window: " + choice.reason});
        return nullptr;
    }
    // The title the viewer window gives itself for the photo, so the title bar does not change.
    const StartPath start = resolveStartPath(path);
    choice.plan->title = absoluteFolder(start.directory) + "/" + start.file + " - Marquelo";
    // WM_CLASS as Qt sets it: the resource name (RESOURCE_NAME, else the name the program was started
    // by) and the application's name, the executable's.
    const std::string resource = environment("RESOURCE_NAME");
    choice.plan->instanceName =
        !resource.empty() ? resource : std::filesystem::path(line.qtArguments.front()).filename().string();
    choice.plan->className = executable.filename().string();
    return EarlyXWindow::open(*choice.plan, notes);
}

// Decodes the JPEG `info` describes from `file` for a place of `width` x `height` and puts it on
// `window`; the reason when it cannot.
std::string putJpeg(const media::RegularFile& file, const StartJpegInfo& info, int width, int height,
                    EarlyXWindow& window)
{
    if (!window.beginRows(width, height))
        return "the window cannot take a picture";
    const std::string error =
        decodeForPlace(file.fd(), info, width, height,
                       [&window](int left, int top, int areaWidth, int areaHeight, const std::uint32_t* pixels) {
                           window.putArea(left, top, areaWidth, areaHeight, pixels);
                       });
    if (error.empty())
        startup::mark("early photo decoded");
    window.endRows(error.empty());
    return error;
}

// Reads and decodes the start photo for the early window: a plain JPEG here, anything else by the
// program once it runs.
std::thread decodeForWindow(const std::string& path, EarlyXWindow& window)
{
    if (window.displayHasProfile()) {
        window.note(false, "the early window waits for the program's decode: the display has a colour profile");
        return {};
    }
    if (!isJpegName(std::filesystem::path(path).filename().string()))
        return {};
    window.decodingItself();
    return std::thread([path, &window] {
        startup::mark("early decode begun");
        const auto leave = [&window](const std::string& reason) {
            window.note(false, "the early window waits for the program's decode: " + reason);
            window.noPictureComing();
        };
        const media::RegularFile file(path);
        if (!file.isOpen())
            return leave("cannot read the photo: " + file.error());
        // The markers before the first scan, EXIF and its thumbnail included, lie well within this.
        constexpr std::size_t kHeadBytes = 256 * 1024;
        const std::vector<unsigned char> head = media::readHead(file.fd(), kHeadBytes);
        const StartJpegInfo info = readStartJpeg(head);
        if (!info.skipped.empty())
            return leave(info.skipped);
        int width = 0, height = 0;
        if (!window.waitForPlace(info.fullWidth, info.fullHeight, 1000, width, height))
            return leave("the window has no place for it");
        startup::mark("early window placed");
        if (const std::string error = putJpeg(file, info, width, height, window); !error.empty())
            return leave("libjpeg cannot decode the photo: " + error);
        window.putDone();
    });
}

#ifndef MARQUELO_PROGRAM_MODULE_INSTALLED
#define MARQUELO_PROGRAM_MODULE_INSTALLED ""
#endif
#ifndef MARQUELO_PROGRAM_MODULE_BUILT
#define MARQUELO_PROGRAM_MODULE_BUILT ""
#endif

MarqueloProgramMain loadProgram(std::string& failure)
{
    for (const std::string& path :
         privateModulePlaces("marquelo_program.so", MARQUELO_PROGRAM_MODULE_INSTALLED, MARQUELO_PROGRAM_MODULE_BUILT)) {
        // Never closed: the program's libraries stay until the process ends.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            if (failure.empty())
                failure = dlerror();
            continue;
        }
        if (auto entry = reinterpret_cast<MarqueloProgramMain>(dlsym(handle, kProgramMainSymbol)))
            return entry;
        failure = path + " has no " + kProgramMainSymbol;
    }
    if (failure.empty())
        failure = "marquelo_program.so was not found";
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    startup::mark("main");
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    LaunchHandOff handOff;
    std::unique_ptr<EarlyXWindow> window;
    std::thread decoder;
    // Only a start on one photo shows anything before the program runs; help, version and the rest are
    // the program's.
    if (line.action == CommandLine::Action::Run && line.paths.size() == 1 && canReachDisplay(line, environment)) {
        window = openEarlyWindow(line, handOff.notes);
        if (window)
            decoder = decodeForWindow(line.paths.front(), *window);
    }
    handOff.early = window.get();
    // The photo first: the program's libraries would take the second core from the picture's scaling.
    if (window)
        window->waitWhilePutting(250);

    std::string failure;
    const MarqueloProgramMain program = loadProgram(failure);
    int code = 1;
    if (program)
        code = program(argc, argv, &handOff);
    else
        std::fprintf(stderr, "marquelo: cannot load the program: %s\n", failure.c_str());
    if (decoder.joinable())
        decoder.join();
    return code;
}
