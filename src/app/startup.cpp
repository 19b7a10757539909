#include "app/startup.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/application.h"
#include "app/uninstall_sequence.h"
#include "foundation/loaded_library.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/registry.h"
#include "foundation/resource_strings.h"
#include "foundation/time_format.h"
#include "outlook/outlook_connection.h"
#include "resources/resource_ids.h"

const char* const PRODUCT_UNINSTALL_KEY =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlecove Orvalith";
const char* const QUESTIONNAIRE_URL = "https://www.brindlecove.example/uninstallq.asp";

namespace {

const char* const PARTIAL_SWITCH = "/PartialOK";

ADMIN_QUERY adminQuery = QueryAdministrator;

// COM for this thread, from a successful CoInitialize until destruction.
class COM_APARTMENT {
public:
    COM_APARTMENT() : result_(CoInitialize(nullptr)) {}
    ~COM_APARTMENT() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    COM_APARTMENT(const COM_APARTMENT&) = delete;
    COM_APARTMENT& operator=(const COM_APARTMENT&) = delete;

    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// Makes comctl32 version 6 (named by the manifest) part of the process, so
// that message boxes can be task dialogs where the system has them.
void LoadCommonControls() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

void ReportCoInitializeFailure(HRESULT result) {
    char text[300];
    wsprintfA(text, LoadStr(IDS_COINITIALIZE_FAILED).Left(250).c_str(),
              static_cast<unsigned>(result));
    MsgBoxOK(text);
}

} // namespace

COMMAND_LINE ParseCommandLine(const STRING& commandLine) {
    COMMAND_LINE parsed;
    parsed.partial = commandLine.Match(PARTIAL_SWITCH, MATCH_CONTAINS, true);
    parsed.remaining = commandLine;
    parsed.remaining.ReplaceFirst(PARTIAL_SWITCH, STR_EMPTY);
    parsed.remaining.Trim();
    return parsed;
}

ADMIN_ANSWER QueryAdministrator() {
    typedef BOOL(WINAPI * IS_USER_AN_ADMIN)();
    LOADED_LIBRARY shell32("shell32.dll");
    auto isUserAnAdmin = shell32.Function<IS_USER_AN_ADMIN>("IsUserAnAdmin");
    if (!isUserAnAdmin)
        return ADMIN_UNDETERMINED;
    return isUserAnAdmin() ? ADMIN_YES : ADMIN_NO;
}

void SetAdminQueryForTesting(ADMIN_QUERY query) {
    adminQuery = query ? query : QueryAdministrator;
}

bool AdministratorRequired() {
    return KeyExists(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY) &&
           !KeyExists(HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY) && adminQuery() == ADMIN_NO;
}

int RunProgram(HINSTANCE instance, const char* commandLineText) {
    SetResourceInstance(instance);
    Application.instance = instance;
    SetMessageTitleId(IDS_APP_TITLE);
    LoadCommonControls();
    Log.OpenFromEnvironment();

    DateTimeSettings.Load(LoadStr(IDS_TIME_FORMAT_AMBIGUOUS));
    Log.Printf("Start-up: time format \"%s\", locale %s\r\n", DateTimeSettings.timeFormat.c_str(),
               DateTimeSettings.localeName.c_str());

    if (AdministratorRequired()) {
        Log.Line("Start-up: all-users install and the user is no administrator");
        MessageOkById(IDS_ADMIN_REQUIRED);
        return 0;
    }

    BYTE result = 1;
    COMMAND_LINE commandLine;
    {
        COM_APARTMENT com;
        if (FAILED(com.Result())) {
            ReportCoInitializeFailure(com.Result());
            return 0;
        }

        commandLine = ParseCommandLine(commandLineText ? commandLineText : "");
        Log.Printf("Start-up: partial %d, root folder \"%s\"\r\n", commandLine.partial ? 1 : 0,
                   commandLine.remaining.c_str());

        bool proceed = true;
        if (!commandLine.partial) {
            if (IsOutlookRunning()) {
                MessageOkById(IDS_OUTLOOK_RUNNING);
                proceed = false;
            } else if (MessageById(IDS_CONFIRM_UNINSTALL, MB_YESNO) != IDYES) {
                Log.Line("Start-up: the user declined");
                proceed = false;
            }
        }
        if (proceed) {
            result = RunUninstall(instance, commandLine.remaining, commandLine.partial);
            Log.Printf("Start-up: the uninstall answered %d\r\n", result);
        }
    }

    if (result == 0 && !commandLine.partial) {
        Log.Printf("Start-up: opening %s\r\n", QUESTIONNAIRE_URL);
        ShellExecuteA(nullptr, nullptr, QUESTIONNAIRE_URL, nullptr, ".", SW_SHOWDEFAULT);
    }
    return 0;
}
