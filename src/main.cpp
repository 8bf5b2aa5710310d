#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "base/Path.h"
#include "base/SfmlErrorCapture.h"
#include "core/CommandLine.h"
#include "core/Core.h"
#include "core/LiveReload.h"
#include "core/NewGame.h"
#include "graphics/ShaderProgram.h"
#include "input/Gamepads.h"
#include "messaging/MessageManager.h"
#include "objects/ObjectManager.h"
#include "script/ScriptApiReference.h"
#include "script/ScriptHost.h"

int main(int argc, char** argv) {
    const std::string program = argc > 0 ? argv[0] : "marrowvale";
    const CommandLineOptions options =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), options.error.c_str(),
                     CommandLineUsage(program).c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(CommandLineUsage(program).c_str(), stdout);
        return 0;
    }
    if (options.apiReference) {
        const std::string reference = options.apiTypeScript ? script::ApiReferenceTypeScript()
                                                            : script::ApiReferenceMarkdown();
        std::fputs(reference.c_str(), stdout);
        return 0;
    }

    if (!options.newGameDir.empty()) {
        std::string problem;
        if (!WriteNewGame(options.newGameDir, options.newGameTypeScript, problem)) {
            std::fprintf(stderr, "%s: --new-game: %s\n", program.c_str(), problem.c_str());
            return 1;
        }
        std::printf("Marrowvale: wrote the game \"%s\" to %s; run it with\n  %s --game %s\n",
                    GameNameOf(options.newGameDir).c_str(), options.newGameDir.c_str(),
                    program.c_str(), ShellQuoted(options.newGameDir).c_str());
        return 0;
    }

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    Core& core = Core::Instance();
    if (!options.resourceDir.empty())
        core.SetResourceDir(options.resourceDir);
    if (!options.saveDir.empty())
        SetSaveFolder(options.saveDir);
    core.SetFrameLimit(options.frames);
    core.SetScreenshotOnLastFrame(options.screenshot);
    ShaderProgram::SetReportSuccess(!options.quiet);
    SfmlErrorCapture::SetDropUncaptured(options.quiet);
    if (options.debugPort >= 0)
        core.EnableDebugger(options.debugPort, options.debugWait);
    if (options.scriptHeapMiB != 0)
        ScriptHost::Instance().SetHeapLimitBytes(static_cast<size_t>(options.scriptHeapMiB) << 20);
    if (options.scriptTimeoutSeconds >= 0.0)
        ScriptHost::Instance().SetScriptTimeoutSeconds(options.scriptTimeoutSeconds);

    core.Init();
    if (options.watch) {
        LiveReload reload(core, ResolvePath(core.GetResourcePath("Scripts")));
        while (core.running) {
            core.RunFrame();
            reload.Update();
        }
    } else {
        core.MainLoop();
    }

    core.StopDebugger();
    delete core.objectManager;
    core.objectManager = nullptr;
    delete core.messageManager;
    core.messageManager = nullptr;
    // Its listeners are script functions; SDL goes with it.
    Gamepads::Instance().Shutdown();
    // Last: clearing the objects above may still run script callbacks.
    ScriptHost::Instance().Shutdown();
    return core.startupFailed ? 1 : 0;
}
