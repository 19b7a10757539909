#include "app/user_sessions.h"

#include <algorithm>
#include <vector>
#include <wtsapi32.h>

#include "foundation/loaded_library.h"
#include "foundation/owned_handle.h"

namespace {

// Newer than some systems the program runs on, or in libraries it does not
// otherwise load: looked up at run time.
typedef BOOL(WINAPI* ENUMERATE_SESSIONS)(HANDLE, DWORD, DWORD, PWTS_SESSION_INFOA*, DWORD*);
typedef void(WINAPI* FREE_MEMORY)(PVOID);
typedef BOOL(WINAPI* QUERY_USER_TOKEN)(ULONG, PHANDLE);
typedef DWORD(WINAPI* CONSOLE_SESSION)();
typedef BOOL(WINAPI* CREATE_ENVIRONMENT_BLOCK)(LPVOID*, HANDLE, BOOL);
typedef BOOL(WINAPI* DESTROY_ENVIRONMENT_BLOCK)(LPVOID);

const DWORD NO_SESSION = 0xFFFFFFFF;

// The session list wtsapi32 allocated, freed through wtsapi32.
class SESSION_LIST {
public:
    explicit SESSION_LIST(const LOADED_LIBRARY& wtsapi) {
        auto enumerate = wtsapi.Function<ENUMERATE_SESSIONS>("WTSEnumerateSessionsA");
        free_ = wtsapi.Function<FREE_MEMORY>("WTSFreeMemory");
        if (!enumerate || !free_ ||
            !enumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions_, &count_))
            sessions_ = nullptr, count_ = 0;
    }
    ~SESSION_LIST() {
        if (sessions_)
            free_(sessions_);
    }
    SESSION_LIST(const SESSION_LIST&) = delete;
    SESSION_LIST& operator=(const SESSION_LIST&) = delete;

    DWORD Count() const { return count_; }
    const WTS_SESSION_INFOA& operator[](DWORD index) const { return sessions_[index]; }

private:
    FREE_MEMORY free_ = nullptr;
    PWTS_SESSION_INFOA sessions_ = nullptr;
    DWORD count_ = 0;
};

// A user's environment, as userenv makes it for a token.
class ENVIRONMENT_BLOCK {
public:
    ENVIRONMENT_BLOCK(const LOADED_LIBRARY& userenv, HANDLE token)
        : destroy_(userenv.Function<DESTROY_ENVIRONMENT_BLOCK>("DestroyEnvironmentBlock")) {
        auto create = userenv.Function<CREATE_ENVIRONMENT_BLOCK>("CreateEnvironmentBlock");
        if (!create || !destroy_ || !create(&block_, token, FALSE))
            block_ = nullptr;
    }
    ~ENVIRONMENT_BLOCK() {
        if (block_)
            destroy_(block_);
    }
    ENVIRONMENT_BLOCK(const ENVIRONMENT_BLOCK&) = delete;
    ENVIRONMENT_BLOCK& operator=(const ENVIRONMENT_BLOCK&) = delete;

    LPVOID Get() const { return block_; }

private:
    DESTROY_ENVIRONMENT_BLOCK destroy_;
    LPVOID block_ = nullptr;
};

} // namespace

VECTOR<DWORD> SignedInSessions() {
    VECTOR<DWORD> sessions;
    auto add = [&](DWORD session) {
        if (session != NO_SESSION &&
            std::find(sessions.begin(), sessions.end(), session) == sessions.end())
            sessions.push_back(session);
    };
    LOADED_LIBRARY wtsapi("wtsapi32.dll");
    SESSION_LIST list(wtsapi);
    for (DWORD i = 0; i < list.Count(); ++i) {
        if (list[i].State == WTSActive || list[i].State == WTSDisconnected)
            add(list[i].SessionId);
    }
    // Some systems list no session, yet answer the console's.
    LOADED_LIBRARY kernel32("kernel32.dll");
    if (auto console = kernel32.Function<CONSOLE_SESSION>("WTSGetActiveConsoleSessionId"))
        add(console());
    return sessions;
}

SESSION_RUN RunInSession(DWORD session, const STRING& commandLine, DWORD limitMs) {
    SESSION_RUN run;
    run.session = session;
    LOADED_LIBRARY wtsapi("wtsapi32.dll");
    LOADED_LIBRARY userenv("userenv.dll");
    auto queryToken = wtsapi.Function<QUERY_USER_TOKEN>("WTSQueryUserToken");
    HANDLE token = nullptr;
    if (!queryToken || !queryToken(session, &token)) {
        run.error = queryToken ? GetLastError() : ERROR_PROC_NOT_FOUND;
        return run;
    }
    OWNED_HANDLE ownedToken(token);
    ENVIRONMENT_BLOCK environment(userenv, token);

    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    char desktop[] = "winsta0\\default";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION process = {};
    DWORD flags = CREATE_NO_WINDOW | (environment.Get() ? CREATE_UNICODE_ENVIRONMENT : 0);
    if (!CreateProcessAsUserA(token, nullptr, line.data(), nullptr, nullptr, FALSE, flags,
                              environment.Get(), nullptr, &startup, &process)) {
        run.error = GetLastError();
        return run;
    }
    OWNED_HANDLE thread(process.hThread);
    OWNED_HANDLE child(process.hProcess);
    run.started = true;
    if (WaitForSingleObject(child.Get(), limitMs) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(child.Get(), &run.exitCode))
        run.ended = true;
    return run;
}
