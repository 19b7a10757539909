// Drives real programs from a test: starts a process, waits for it, finds the
// dialog windows it shows and answers them as a user would.
#pragma once

#include <functional>
#include <string>
#include <vector>
#include <windows.h>

#include "foundation/owned_handle.h"
#include "testkit/temp_folder.h"

// Owns a module loaded from a file as data only, for reading its resources.
class DATA_MODULE {
public:
    explicit DATA_MODULE(const std::string& path);
    ~DATA_MODULE();
    DATA_MODULE(const DATA_MODULE&) = delete;
    DATA_MODULE& operator=(const DATA_MODULE&) = delete;

    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

// Calls done() every few milliseconds until it answers true or timeoutMs has
// passed; answers done()'s last answer. Messages for the calling thread's
// windows keep flowing meanwhile.
bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Runs work on a new Win32 thread and waits for it to end (the compiler's
// thread model has no std::thread).
void RunOnNewThread(const std::function<void()>& work);

// The folder holding the running program, without a trailing backslash.
std::string ThisProgramFolder();
// The folder above folder.
std::string ParentFolder(const std::string& folder);

// The whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);
// The names of the files (not folders) directly in folder.
std::vector<std::string> FilesIn(const std::string& folder);
// The lines of text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Sets an environment variable of this process (and so of the children it
// starts) for the object's lifetime, or removes it when value is nullptr; the
// previous value, or its absence, comes back on destruction.
class ENVIRONMENT_OVERRIDE {
public:
    ENVIRONMENT_OVERRIDE(const std::string& name, const char* value);
    ENVIRONMENT_OVERRIDE(const std::string& name, const std::string& value)
        : ENVIRONMENT_OVERRIDE(name, value.c_str()) {}
    ~ENVIRONMENT_OVERRIDE();
    ENVIRONMENT_OVERRIDE(const ENVIRONMENT_OVERRIDE&) = delete;
    ENVIRONMENT_OVERRIDE& operator=(const ENVIRONMENT_OVERRIDE&) = delete;

private:
    std::string name_;
    bool hadValue_ = false;
    std::string previous_;
};

// A child process started from a program path and an argument string. A
// process still running when the object goes is terminated, so that a failed
// test leaves nothing behind.
class CHILD_PROCESS {
public:
    CHILD_PROCESS() = default;
    ~CHILD_PROCESS();
    CHILD_PROCESS(const CHILD_PROCESS&) = delete;
    CHILD_PROCESS& operator=(const CHILD_PROCESS&) = delete;

    // The program path is quoted on the command line; arguments follow a
    // space when not empty. The child starts in folder, or in this
    // process's current folder when folder is empty. False (with
    // GetLastError set) when it fails.
    bool Start(const std::string& program, const std::string& arguments,
               const std::string& folder = std::string());

    bool Started() const { return process_.Valid(); }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }
    HANDLE MainThread() const { return thread_.Get(); }
    bool HasExited() const;
    // True when the process ended within timeoutMs.
    bool WaitForExit(DWORD timeoutMs) const;
    // STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    void Terminate();

private:
    OWNED_HANDLE process_;
    OWNED_HANDLE thread_;
    DWORD id_ = 0;
};

std::string WindowClass(HWND window);
std::string WindowText(HWND window);

// The visible top-level windows of class className that process id owns.
std::vector<HWND> TopLevelWindowsOf(DWORD processId, const char* className);

// One child window of a dialog, as a test sees it.
struct CONTROL_INFO {
    HWND window;
    int id;
    std::string className;
    std::string text;
    bool visible;
    bool enabled;
};

// The dialog's direct children in Z order (the order they were created).
std::vector<CONTROL_INFO> DialogControls(HWND dialog);

// The id of a classic message box's text control, on Windows and on Wine.
const int MESSAGE_BOX_TEXT_ID = 0xFFFF;

// A dialog (class "#32770") that a process shows, with what a user reads.
struct SHOWN_DIALOG {
    HWND window = nullptr;
    std::string title;
    std::vector<CONTROL_INFO> controls;

    // Texts of the visible Static controls that have text, in order.
    std::vector<std::string> StaticTexts() const;
    // The first control of that class (case-insensitive) and id; nullptr
    // when none.
    const CONTROL_INFO* Find(const char* className, int id) const;
    // The first Button whose text is buttonText; nullptr when none.
    const CONTROL_INFO* FindButton(const std::string& buttonText) const;
    // A classic message box keeps its text in one Static of a fixed id; a
    // task dialog, which is a "#32770" window too under Wine, does not.
    bool IsClassicMessageBox() const;
    // True when a Static shows an icon.
    bool ShowsIcon() const;
};

// Waits until process shows a visible "#32770" window, or it exits, or
// timeoutMs passes. The window is null when no dialog came.
SHOWN_DIALOG WaitForDialog(const CHILD_PROCESS& process, DWORD timeoutMs);

// Answers a dialog as if its button with that id had been pressed: the
// dialog gets the notification that the button sends when clicked.
void AnswerDialog(HWND dialog, int buttonId);
