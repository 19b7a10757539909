#include "testkit/scripted_presenter.h"

#include "testkit/ui_driver.h"

SCRIPTED_PRESENTER::SCRIPTED_PRESENTER() {
    SetMessagePresenter(this);
}

SCRIPTED_PRESENTER::~SCRIPTED_PRESENTER() {
    SetMessagePresenter(nullptr);
}

int SCRIPTED_PRESENTER::NextAnswer() {
    if (answers_.empty())
        return IDOK;
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void SCRIPTED_PRESENTER::Record(SHOWN_MESSAGE& shown) {
    if (!watchedPath_.empty())
        shown.watchedFile = ReadWholeFile(watchedPath_);
    shown_.push_back(shown);
    if (whenShown_)
        whenShown_();
}

int SCRIPTED_PRESENTER::ShowMessageBox(const char* text, const char* caption, UINT type) {
    SHOWN_MESSAGE shown;
    shown.form = FORM_CLASSIC;
    shown.text = text;
    shown.caption = caption;
    shown.type = type;
    Record(shown);
    return NextAnswer();
}

HRESULT SCRIPTED_PRESENTER::ShowTaskDialog(const TASKDIALOGCONFIG& config, int* button) {
    if (failTaskDialogs_)
        return E_FAIL;
    SHOWN_MESSAGE shown;
    shown.form = FORM_TASK_DIALOG;
    shown.hasMainInstruction = config.pszMainInstruction != nullptr;
    shown.mainInstruction = STRING::FromWide(config.pszMainInstruction);
    shown.content = STRING::FromWide(config.pszContent);
    if (IS_INTRESOURCE(config.pszWindowTitle))
        shown.title =
            "#" +
            STRING::FromInt(static_cast<int>(reinterpret_cast<ULONG_PTR>(config.pszWindowTitle)));
    else
        shown.title = STRING::FromWide(config.pszWindowTitle);
    if (config.dwFlags & TDF_USE_HICON_MAIN)
        shown.questionIcon = config.hMainIcon == LoadIconA(nullptr, IDI_QUESTION);
    else
        shown.mainIcon = config.pszMainIcon;
    shown.buttons = config.dwCommonButtons;
    Record(shown);
    *button = NextAnswer();
    return S_OK;
}
