#include "foundation/messages.h"

#include <vector>

#include "foundation/loaded_library.h"
#include "foundation/log_file.h"
#include "foundation/resource_strings.h"
#include "foundation/windows_version.h"
#include "resources/resource_ids.h"

namespace {

typedef HRESULT(WINAPI* TASK_DIALOG_INDIRECT)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

class PLATFORM_PRESENTER : public MESSAGE_PRESENTER {
public:
    int ShowMessageBox(const char* text, const char* caption, UINT type) override {
        return MessageBoxA(nullptr, text, caption, type);
    }

    HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int* button) override {
        // Only a comctl32 that the process has already loaded is used: the
        // task dialog exists in its version 6 alone.
        LOADED_LIBRARY comctl = LOADED_LIBRARY::IfLoaded("comctl32.dll");
        auto taskDialogIndirect = comctl.Function<TASK_DIALOG_INDIRECT>("TaskDialogIndirect");
        if (!taskDialogIndirect)
            return E_FAIL;
        return taskDialogIndirect(&config, button, nullptr, nullptr);
    }
};

PLATFORM_PRESENTER platformPresenter;
MESSAGE_PRESENTER* presenter = &platformPresenter;
int titleId = -1;
bool quietMessages = false;

int QuietAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    case MB_RETRYCANCEL:
    case MB_CANCELTRYCONTINUE:
        return IDCANCEL;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    default:
        return IDOK;
    }
}

const char* ButtonName(int button) {
    switch (button) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDABORT:
        return "Abort";
    case IDRETRY:
        return "Retry";
    case IDIGNORE:
        return "Ignore";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "none";
    }
}

// Task dialogs exist for these button sets only; -1 for any other type.
int TaskDialogButtons(UINT type) {
    if (type & MB_DEFMASK)
        return -1;
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return TDCBF_OK_BUTTON;
    case MB_OKCANCEL:
        return TDCBF_OK_BUTTON | TDCBF_CANCEL_BUTTON;
    case MB_YESNOCANCEL:
        return TDCBF_YES_BUTTON | TDCBF_NO_BUTTON | TDCBF_CANCEL_BUTTON;
    case MB_YESNO:
        return TDCBF_YES_BUTTON | TDCBF_NO_BUTTON;
    case MB_RETRYCANCEL:
        return TDCBF_RETRY_BUTTON | TDCBF_CANCEL_BUTTON;
    default:
        return -1;
    }
}

// The pressed button's id, or -1 when no task dialog could be shown.
int ShowTaskDialog(const STRING& text, UINT type) {
    int buttons = TaskDialogButtons(type);
    if (buttons < 0)
        return -1;

    TASKDIALOGCONFIG config = {};
    config.cbSize = sizeof(config);
    config.dwCommonButtons = buttons;

    STRING textProper;
    switch (ParseMessageIcon(text, textProper)) {
    case MB_ICONEXCLAMATION:
        config.pszMainIcon = TD_WARNING_ICON;
        break;
    case MB_ICONHAND:
        config.pszMainIcon = TD_ERROR_ICON;
        break;
    case MB_ICONASTERISK:
        config.pszMainIcon = TD_INFORMATION_ICON;
        break;
    case MB_ICONQUESTION:
        config.dwFlags |= TDF_USE_HICON_MAIN;
        config.hMainIcon = LoadIconA(nullptr, IDI_QUESTION);
        break;
    }

    STRING mainInstruction, detail;
    bool hasMainInstruction = textProper.SplitAt(STR_TILDE, mainInstruction, detail);
    if (hasMainInstruction) {
        if (mainInstruction.Length() > 1 && mainInstruction.LastChar() == ':')
            mainInstruction.pop_back();
        if (detail.Match(STR_LF, MATCH_BEGINS, false))
            detail.erase(0, 1);
    } else {
        detail = textProper;
    }

    std::vector<wchar_t> wideMain(mainInstruction.size() + 1);
    std::vector<wchar_t> wideDetail(detail.size() + 1);
    mainInstruction.ToWide(wideMain.data());
    detail.ToWide(wideDetail.data());

    config.hInstance = nullptr;
    config.pszWindowTitle = titleId >= 0 ? MAKEINTRESOURCEW(titleId) : L"";
    config.pszMainInstruction = hasMainInstruction ? wideMain.data() : nullptr;
    config.pszContent = wideDetail.data();

    int button = 0;
    if (FAILED(presenter->ShowTaskDialog(config, &button)))
        return -1;
    return button;
}

} // namespace

void SetMessagePresenter(MESSAGE_PRESENTER* replacement) {
    presenter = replacement ? replacement : &platformPresenter;
}

UINT ParseMessageIcon(const STRING& text, STRING& textProper) {
    UINT icon = 0;
    switch (text.empty() ? '\0' : text[0]) {
    case '!':
        icon = MB_ICONEXCLAMATION;
        break;
    case '#':
        icon = MB_ICONHAND;
        break;
    case '?':
        icon = MB_ICONQUESTION;
        break;
    case 'i':
        icon = MB_ICONASTERISK;
        break;
    default:
        textProper = text;
        return 0;
    }
    // The text proper starts after the separator; an icon character with
    // nothing (or only the separator) after it leaves an empty text.
    textProper = text.Length() > 2 ? text.From(2) : STRING();
    return icon;
}

namespace {

int PresentMessage(const STRING& text, UINT type) {
    if (IsVista()) {
        int button = ShowTaskDialog(text, type);
        if (button != -1)
            return button;
    }

    STRING joined;
    UINT icon = ParseMessageIcon(text, joined);
    joined.ReplaceFirst(STR_COLON_TILDE, STR_DOT_TILDE);
    joined.ReplaceFirst(STR_TILDE_LF, STR_LF);
    joined.ReplaceFirst(STR_TILDE, STR_SPACE);
    return presenter->ShowMessageBox(joined.c_str(), LoadStr(IDS_APP_TITLE).c_str(), icon | type);
}

} // namespace

void ReportLogFailure(const char* text) {
    ShowMessage(text, MB_OK);
}

int ShowMessage(const STRING& text, UINT type) {
    if (quietMessages) {
        int answer = QuietAnswer(type);
        Log.Printf("Message not shown (quiet run), taken as answered %s: %s\r\n",
                   ButtonName(answer), text.c_str());
        return answer;
    }
    int answer = PresentMessage(text, type);
    Log.Printf("Message answered %s: %s\r\n", ButtonName(answer), text.c_str());
    return answer;
}

void SetMessagesQuiet(bool quiet) {
    quietMessages = quiet;
}

int MsgBoxOK(const STRING& text) {
    Log.Printf("MsgBoxOK %s\r\n", text.c_str());
    return ShowMessage(text, MB_OK);
}

int MsgBoxOK(const char* text) {
    return MsgBoxOK(STRING(text ? text : ""));
}

int MessageById(int id, UINT type) {
    return ShowMessage(LoadStr(id), type);
}

int MessageOkById(int id) {
    return MsgBoxOK(LoadStr(id));
}

int MessageOkById(int id, const STRING& placeholder, const STRING& value) {
    return MessageOk(LoadStr(id), placeholder, value);
}

int MessageOk(const STRING& text, const STRING& placeholder, const STRING& value) {
    STRING replaced = text;
    replaced.ReplaceFirst(placeholder, value);
    return MsgBoxOK(replaced);
}

void SetMessageTitleId(int id) {
    titleId = id;
}

void PumpPendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
