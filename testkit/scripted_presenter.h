// A message presenter that answers in place of the user and records what the
// program showed.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "foundation/messages.h"

enum MESSAGE_FORM { FORM_CLASSIC, FORM_TASK_DIALOG };

struct SHOWN_MESSAGE {
    MESSAGE_FORM form = FORM_CLASSIC;
    // Classic box: the joined text, the caption and the full type.
    STRING text;
    STRING caption;
    UINT type = 0;
    UINT Icon() const { return type & MB_ICONMASK; }
    // Task dialog: the config's parts, converted to ANSI.
    bool hasMainInstruction = false;
    STRING mainInstruction;
    STRING content;
    STRING title; // the title text, or "#<id>" for a resource id
    PCWSTR mainIcon = nullptr;
    bool questionIcon = false; // the system question icon as a handle
    TASKDIALOG_COMMON_BUTTON_FLAGS buttons = 0;
    // The content of the file named by WatchFile when the message appeared.
    std::string watchedFile;
};

// Installs itself on construction and restores the real presenter when it is
// destroyed.
class SCRIPTED_PRESENTER : public MESSAGE_PRESENTER {
public:
    SCRIPTED_PRESENTER();
    ~SCRIPTED_PRESENTER() override;

    // The next answers, in order; when none is left, IDOK.
    void Answer(int button) { answers_.push_back(button); }
    // Makes every task dialog fail, as when comctl32 6 is missing.
    void FailTaskDialogs() { failTaskDialogs_ = true; }
    // Records the file's content with every message, as it is at that moment.
    void WatchFile(const STRING& path) { watchedPath_ = path; }
    // Runs with every message, while it shows (for example to look at the
    // program's other windows at that moment).
    void WhenShown(const std::function<void()>& action) { whenShown_ = action; }

    const std::vector<SHOWN_MESSAGE>& Shown() const { return shown_; }

    int ShowMessageBox(const char* text, const char* caption, UINT type) override;
    HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int* button) override;

private:
    int NextAnswer();
    void Record(SHOWN_MESSAGE& shown);

    std::deque<int> answers_;
    std::vector<SHOWN_MESSAGE> shown_;
    bool failTaskDialogs_ = false;
    STRING watchedPath_;
    std::function<void()> whenShown_;
};
