// Runs a script (see ScriptParser.h for the language) inside Orvex.exe's message loop: a thread
// timer advances one step per tick, so steps keep running while a modal box of the module has
// its own loop, and "click", "key" and "command" are delivered as input or posted messages that
// the loop dispatches, never from inside a step. Output goes to the process's standard output
// (UTF-8). When the last step is done, or one fails, the loop is ended with the exit code.
#pragma once

#include "hostsim/HostSimApi.h"
#include "hostsim/ScriptParser.h"

#include <string>
#include <vector>

namespace hostsim {

class TScriptRunner {
public:
    // scriptFolder resolves relative project files of "open".
    TScriptRunner(IHostApplication* application, std::vector<TScriptStep> steps, std::wstring scriptFolder);
    ~TScriptRunner();
    TScriptRunner(const TScriptRunner&) = delete;
    TScriptRunner& operator=(const TScriptRunner&) = delete;

    void Start();
    int ExitCode() const { return FExitCode; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();
    // True when the step is done; false to be called again on the next tick (waiting).
    bool RunStep(const TScriptStep& step);
    // Clicks the open popup menu's item CAPTION; false while no menu is open yet.
    bool ChooseMenuItem(const std::string& caption);
    // Stops the script; quit: the Host ends too (otherwise it stays open for the user).
    void Finish(int code, bool quit = true);
    HWND WindowByName(const std::string& name) const;
    std::wstring ScriptPath(const std::string& file) const;
    // The waiting steps: true when done, false to be called again on the next tick.
    bool WaitIdle();
    bool AnswerDialog(const std::string& button);
    // Milliseconds since the current step was first run.
    DWORD StepElapsed();

    IHostApplication* FApplication;
    std::vector<TScriptStep> FSteps;
    std::wstring FFolder;
    std::size_t FNext = 0;
    UINT_PTR FTimer = 0;
    bool FBusy = false;
    bool FFinished = false;
    int FIdleTicks = 0;
    DWORD FSleepUntil = 0;
    DWORD FStepStart = 0;
    bool FStepStarted = false;
    int FExitCode = 0;
};

// Writes UTF-8 text to the standard output handle.
void WriteOutput(const std::string& text);

} // namespace hostsim
