#include "app/startup.h"

#include <commctrl.h>
#include <cstring>
#include <objbase.h>
#include <shellapi.h>

#include "app/all_users.h"
#include "app/application.h"
#include "app/uninstall_sequence.h"
#include "foundation/loaded_library.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/owned_handle.h"
#include "foundation/registry.h"
#include "foundation/resource_strings.h"
#include "foundation/time_format.h"
#include "outlook/call_watch.h"
#include "outlook/outlook_connection.h"
#include "resources/resource_ids.h"
#include "system/system_info.h"

const char* const PRODUCT_UNINSTALL_KEY =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlecove Orvalith";
const char* const QUESTIONNAIRE_URL = "https://www.brindlecove.example/uninstallq.asp";
const char* const QUIET_LOG_NAME = "Orvalith Uninstall.log";

const char* const USAGE_TEXT =
    "i Usage: \"Orvalith Uninstall.exe\" [/Quiet] [/AllUsers | /User] [/Log=FILE] [/PartialOK] "
    "[root folder]~\n"
    "/Quiet: shows no window. The question is taken as answered Yes and every other message "
    "as OK; each message is written to the log instead. The uninstall is refused while Outlook "
    "is running, no web page is opened, and the exit code tells the outcome. The add-in's own "
    "uninstaller may still show its windows.\n"
    "/AllUsers: removes Orvalith for every user of the computer, quietly: the computer's part "
    "now, each user's part as that user, in their session or at their next logon. A run as "
    "LocalSystem does so without the switch.\n"
    "/User: removes, quietly, only the part of the user who runs it; needs no administrator.\n"
    "/Log=FILE: writes a log to FILE (in double quotes when it holds spaces). A quiet run "
    "without it logs to \"%TEMP%\\Orvalith Uninstall.log\".\n"
    "/PartialOK: undoes an unfinished installation without asking anything.\n"
    "root folder: the folder Orvalith was installed in, used when the registry names none.\n"
    "/?: shows this message.\n"
    "Exit codes of a quiet run: 0 removed; 3010 removed, files in use go at the next restart; "
    "1602 the add-in's uninstaller was cancelled; 1603 stopped part-way or files left; not "
    "started: 1618 Outlook running, 740 administrator needed, 1639 command line not readable.";

namespace {

const char* const PARTIAL_SWITCH = "/PartialOK";
const char* const QUIET_SWITCH = "/Quiet";
const char* const LOG_SWITCH = "/Log=";
const char* const USAGE_SWITCH = "/?";
const char* const ALL_USERS_SWITCH = "/AllUsers";
const char* const USER_SWITCH = "/User";
const char* const LOGON_SWITCH = "/Logon";

ADMIN_QUERY adminQuery = QueryAdministrator;

// COM for this thread, from a successful CoInitialize until destruction.
class COM_APARTMENT {
public:
    COM_APARTMENT() : result_(CoInitialize(nullptr)) {}
    ~COM_APARTMENT() {
        if (SUCCEEDED(result_)) {
            // It lets go of what is left of Outlook's proxies.
            WATCHED_CALL watched(L"CoUninitialize");
            CoUninitialize();
        }
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

// Where the first copy of the switch starts, in any letter case; -1 when none.
int FindSwitch(const STRING& text, const char* name) {
    return text.ToLower().Find(STRING(name).ToLower());
}

// Takes the switch out of text when it stands as a word of its own, in any
// letter case: a root folder such as "C:/Users" holds no switch.
bool TakeWordSwitch(STRING& text, const char* name) {
    STRING lower = text.ToLower();
    STRING wanted = STRING(name).ToLower();
    for (size_t at = lower.find(wanted); at != STRING::npos; at = lower.find(wanted, at + 1)) {
        size_t end = at + wanted.size();
        bool startsWord = at == 0 || lower[at - 1] == ' ' || lower[at - 1] == '\t';
        bool endsWord = end == lower.size() || lower[end] == ' ' || lower[end] == '\t';
        if (startsWord && endsWord) {
            text.erase(at, wanted.size());
            return true;
        }
    }
    return false;
}

// Takes "/Log=FILE" out of text and answers FILE (empty when none).
// unclosed is set when FILE opens a quote that never closes.
STRING TakeLogSwitch(STRING& text, bool& unclosed) {
    unclosed = false;
    int at = FindSwitch(text, LOG_SWITCH);
    if (at < 0)
        return STRING();
    int start = at + static_cast<int>(strlen(LOG_SWITCH));
    bool quoted = start < text.Length() && text[start] == '"';
    if (quoted)
        ++start;
    int end = text.Find(quoted ? STR_QUOTE : STR_SPACE, start);
    unclosed = quoted && end < 0;
    if (end < 0)
        end = text.Length();
    STRING file = text.substr(start, end - start);
    text.erase(at, end - at + (quoted && end < text.Length() ? 1 : 0));
    return file;
}

// A log named on the command line, else the one ORVALITH_UNINSTALL_LOG
// names, else, in a quiet run, one in the temporary folder: an
// administrator's unattended run always leaves its trace. A log that cannot
// be opened leaves the run without one.
void OpenLog(const COMMAND_LINE& commandLine, bool quiet) {
    if (!commandLine.logFile.IsBlank() && Log.Open(commandLine.logFile))
        return;
    bool opened = Log.OpenFromEnvironment();
    if (!opened && quiet) {
        STRING folder = GetTemporaryFolder().path;
        if (!folder.empty())
            opened = Log.Open(folder.WithTrailingBackslash() + QUIET_LOG_NAME);
    }
    if (opened && !commandLine.logFile.IsBlank())
        Log.Printf("Start-up: the log \"%s\" could not be opened\r\n", commandLine.logFile.c_str());
}

// A SID of the LocalSystem account, S-1-5-18.
bool IsLocalSystem(PSID sid) {
    SID localSystem = {SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
    return EqualSid(sid, &localSystem) != FALSE;
}

// Whether the process runs as LocalSystem.
bool RunsAsLocalSystem() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    OWNED_HANDLE owned(token);
    // TOKEN_USER and the SID after it; DWORDs keep the SID aligned.
    DWORD buffer[64];
    DWORD size = 0;
    if (!GetTokenInformation(owned.Get(), TokenUser, buffer, sizeof(buffer), &size))
        return false;
    return IsLocalSystem(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

// The quiet run's answer to an Outlook call overdue: logged with the call's
// name, the restore point ended, the run ends as abandoned. The uninstall
// thread is still inside the call and nothing would make it return, so the
// process ends here; whatever the stuck call holds is left to the system.
void AbandonOverdueRun(const char* call, DWORD limitMilliseconds) {
    if (limitMilliseconds % 60000 == 0)
        Log.Printf("Outlook has not answered %s within %lu minutes: the run is abandoned\r\n", call,
                   limitMilliseconds / 60000);
    else
        Log.Printf("Outlook has not answered %s within %lu seconds: the run is abandoned\r\n", call,
                   limitMilliseconds / 1000);
    EndRunRestorePoint();
    Log.Printf("Start-up: exit code %d\r\n", EXIT_ABANDONED);
    Log.Close();
    TerminateProcess(GetCurrentProcess(), EXIT_ABANDONED);
}

// A user's part whose sequence did not reach its end, or reached it with
// files left, is abandoned; one whose files wait for a restart asks for it.
EXIT_CODE ExitCodeOf(const UNINSTALL_RESULT& outcome) {
    if (outcome.addInCancelled)
        return EXIT_ADDIN_CANCELLED;
    if (!outcome.completed || outcome.filesLeft)
        return EXIT_ABANDONED;
    return outcome.queuedForRestart > 0 ? EXIT_RESTART_NEEDED : EXIT_COMPLETE;
}

// The start-up checks and the uninstall; answers the outcome as a quiet
// run's exit code (a run the user declined has none).
EXIT_CODE CheckAndUninstall(HINSTANCE instance, const COMMAND_LINE& commandLine,
                            const RUN_MODE& mode) {
    if (mode.kind == RUN_MACHINE_PART) {
        if (!mode.administrator) {
            Log.Line("Start-up: the run for all users needs an administrator");
            MessageOkById(IDS_ADMIN_REQUIRED);
            return EXIT_ADMIN_REQUIRED;
        }
        return RunForAllUsers(instance, commandLine.remaining, mode);
    }
    // A user's own part never touches what all users share.
    if (mode.kind != RUN_USER_PART && AdministratorRequired()) {
        Log.Line("Start-up: all-users install and the user is no administrator");
        MessageOkById(IDS_ADMIN_REQUIRED);
        return EXIT_ADMIN_REQUIRED;
    }

    UNINSTALL_RESULT outcome;
    {
        // Nobody answers what Outlook may ask in a quiet run: every call to
        // it is watched, from the running check to the end of COM.
        OUTLOOK_CALL_WATCH watch(mode.Quiet() ? OutlookCallLimit() : 0, AbandonOverdueRun);
        COM_APARTMENT com;
        if (FAILED(com.Result())) {
            ReportCoInitializeFailure(com.Result());
            return EXIT_COM_FAILED;
        }
        Log.Printf("Start-up: partial %d, root folder \"%s\"\r\n", commandLine.partial ? 1 : 0,
                   commandLine.remaining.c_str());

        if (!commandLine.partial) {
            if (IsOutlookRunning()) {
                MessageOkById(IDS_OUTLOOK_RUNNING);
                return EXIT_OUTLOOK_RUNNING;
            }
            if (MessageById(IDS_CONFIRM_UNINSTALL, MB_YESNO) != IDYES) {
                Log.Line("Start-up: the user declined");
                return EXIT_COMPLETE;
            }
        }
        outcome = RunUninstall(instance, commandLine.remaining, mode);
        Log.Printf("Start-up: the uninstall %s\r\n",
                   outcome.completed ? "reached its end" : "stopped part-way");
    }

    EXIT_CODE exitCode = ExitCodeOf(outcome);
    if (outcome.completed && !commandLine.partial && !mode.Quiet()) {
        Log.Printf("Start-up: opening %s\r\n", QUESTIONNAIRE_URL);
        ShellExecuteA(nullptr, nullptr, QUESTIONNAIRE_URL, nullptr, ".", SW_SHOWDEFAULT);
    }
    return exitCode;
}

} // namespace

COMMAND_LINE ParseCommandLine(const STRING& commandLine) {
    COMMAND_LINE parsed;
    STRING rest = commandLine;
    // The log's file name may hold anything, even a switch: it goes first.
    parsed.logFile = TakeLogSwitch(rest, parsed.usageError);
    if (parsed.usageError) {
        parsed.usage = true;
        parsed.quiet = FindSwitch(commandLine, QUIET_SWITCH) >= 0;
        parsed.logFile.clear();
        return parsed;
    }
    parsed.allUsers = TakeWordSwitch(rest, ALL_USERS_SWITCH);
    parsed.user = TakeWordSwitch(rest, USER_SWITCH);
    parsed.logon = TakeWordSwitch(rest, LOGON_SWITCH);
    int quiet = FindSwitch(rest, QUIET_SWITCH);
    parsed.quiet = quiet >= 0;
    if (parsed.quiet)
        rest.erase(quiet, strlen(QUIET_SWITCH));
    parsed.usage = rest.Find(USAGE_SWITCH) >= 0;
    parsed.partial = rest.Match(PARTIAL_SWITCH, MATCH_CONTAINS, true);
    parsed.remaining = rest;
    parsed.remaining.ReplaceFirst(PARTIAL_SWITCH, STR_EMPTY);
    parsed.remaining.Trim();
    return parsed;
}

ADMIN_ANSWER QueryAdministrator() {
    if (RunsAsLocalSystem())
        return ADMIN_LOCAL_SYSTEM;
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

RUN_MODE DecideRunMode(const COMMAND_LINE& commandLine, ADMIN_ANSWER admin) {
    RUN_MODE mode;
    mode.partial = commandLine.partial;
    // Only a known "no" refuses, as for an all-users install.
    mode.administrator = admin != ADMIN_NO;
    // Nobody can see a window in the services' session, and LocalSystem holds
    // no user's data: its run is the computer's part, always quiet.
    if (admin == ADMIN_LOCAL_SYSTEM || commandLine.allUsers)
        mode.kind = RUN_MACHINE_PART;
    else if (commandLine.user || commandLine.logon)
        mode.kind = RUN_USER_PART;
    else if (commandLine.quiet)
        mode.kind = RUN_QUIET;
    return mode;
}

bool AdministratorRequired() {
    return KeyExists(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY) &&
           !KeyExists(HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY) && adminQuery() == ADMIN_NO;
}

int RunProgram(HINSTANCE instance, const char* commandLineText) {
    STRING text = commandLineText ? commandLineText : "";
    COMMAND_LINE commandLine = ParseCommandLine(text);
    const RUN_MODE mode = DecideRunMode(commandLine, adminQuery());
    // Nobody is there to answer a system box about a missing disk or a crash.
    if (mode.Quiet())
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    LoadLibrariesFromSystemFolderOnly();
    SetResourceInstance(instance);
    Application.instance = instance;
    SetMessageTitleId(IDS_APP_TITLE);
    LoadCommonControls();
    Log.SetFailureReporter(ReportLogFailure);
    if (commandLine.usageError && mode.Quiet()) {
        OpenLog(commandLine, true);
        Log.Printf("Start-up: not started: the command line \"%s\" opens a quote after /Log= "
                   "that it never closes\r\n",
                   text.c_str());
        Log.Printf("Start-up: exit code %d\r\n", EXIT_USAGE_ERROR);
        Log.Close();
        return EXIT_USAGE_ERROR;
    }
    if (commandLine.usage) {
        ShowMessage(USAGE_TEXT, MB_OK);
        return 0;
    }
    SetMessagesQuiet(mode.Quiet());
    OpenLog(commandLine, mode.Quiet());
    static const char* const KINDS[] = {"", ", quiet", ", quiet, for all users",
                                        ", quiet, this user's part"};
    Log.Printf("Start-up: Orvalith Uninstall started, command line \"%s\"%s\r\n", text.c_str(),
               KINDS[mode.kind]);

    int exitCode = EXIT_COMPLETE;
    if (commandLine.logon) {
        // Active Setup waits for what it starts; the part goes on without it.
        bool started = StartUserPartInBackground();
        Log.Printf("Start-up: a logon: this user's part %s\r\n",
                   started ? "goes on in the background" : "could not be started");
    } else {
        DateTimeSettings.Load(LoadStr(IDS_TIME_FORMAT_AMBIGUOUS));
        Log.Printf("Start-up: time format \"%s\", locale %s\r\n",
                   DateTimeSettings.timeFormat.c_str(), DateTimeSettings.localeName.c_str());
        exitCode = CheckAndUninstall(instance, commandLine, mode);
        if (mode.kind == RUN_USER_PART)
            RecordUserPart(exitCode == EXIT_COMPLETE);
    }
    // The first phase of the product's uninstaller starts an ordinary run
    // and relies on its 0.
    if (!mode.Quiet())
        exitCode = 0;
    Log.Printf("Start-up: exit code %d\r\n", exitCode);
    Log.Close();
    SetMessagesQuiet(false);
    return exitCode;
}
