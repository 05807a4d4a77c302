// tagshift.exe: the disclaimer (unless the skip marker says otherwise),
// then the main window, with the folder named on the command line
// converted before the window is first shown.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/win32/ConsoleAnswer.h"
#include "app/win32/DisclaimerFrame.h"
#include "app/win32/FaceText.h"
#include "app/win32/MainFrame.h"
#include "app/win32/MessageLoop.h"
#include "app/win32/PlatformServices.h"
#include "fs/Utf16.h"
#include "ui/CommandLine.h"
#include "ui/Disclaimer.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    using namespace tagshift;
    if (const auto answer = ui::CommandLineAnswer(fs::ToUtf8(win32::ArgumentText(GetCommandLineW())))) {
        win32::ShowAnswer(*answer);  // --help, --version
        return 0;
    }
    // The item dialog and the imaging component want a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    int exitCode = 0;
    {
        win32::PlatformServices services;
        win32::MainFrame mainFrame(services);
        win32::DisclaimerFrame disclaimerFrame(services);
        // The arguments as the user typed them, after the program's name.
        const std::string argumentText = fs::ToUtf8(win32::ArgumentText(GetCommandLineW()));

        ui::DisclaimerWindow::Actions actions;
        actions.showMainWindow = [&] {
            if (!mainFrame.Start(argumentText, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand))
                PostQuitMessage(1);
        };
        actions.endProgram = [] { PostQuitMessage(0); };
        actions.warn = [&](const std::string& text) {
            services.ShowMessage(ui::MessageKind::Information, ui::DisclaimerDesign().caption, text);
        };
        ui::DisclaimerWindow disclaimer(
            disclaimerFrame, ui::StartUpPaths{services.ProgramFolder(), win32::PlatformServices::ConfigFolder()},
            std::move(actions));
        disclaimerFrame.SetLogic(&disclaimer);
        disclaimer.Start();
        exitCode = win32::RunMessageLoop();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
