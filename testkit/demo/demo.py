#!/usr/bin/env python3
"""The demonstration machine: a Wine prefix on which Orvalith is installed as
its setup would have left it, a run of the built uninstaller on it driven as a
person would answer, and the report of what the run showed and changed.

  demo.py run --build DIR --out DIR [--scenario NAME]   run and print the report
  demo.py scenario NAME --build DIR --out DIR           run and check (a test)

Every run works on a fresh copy of a seeded machine kept in the build folder
(a pristine prefix with the scenario's registry, seeded once for all the
scenarios that share it); the output folder gets the machine, the journals,
the log, the pictures and report.txt.
"""
import argparse
import fcntl
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import zlib
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "tools", "wine-run")

# The machine is 64-bit Windows, as most are: the 32-bit product lives in
# "Program Files (x86)", and a 32-bit program's system folder is SysWOW64.
PROGRAM_WIN = r"C:\Program Files (x86)\Brindlecove\Orvalith"
SYSTEM32_WIN = r"C:\windows\syswow64"
TOOLS_WIN = r"C:\Demo Tools"
ADDIN_DISPLAY_NAME = "Orvalith v5 Outlook Add-In"
ADDIN_ENTRY = "{7E1C40A2-5B0D-4F93-9C1E-0B5A0D2C6F41}"
FOREIGN_ENTRY = "{3A9F0B11-22C4-4E6D-8F70-61B2D9E4A5C3}"
STORE_STRING = "Q7W2KX3M0PDNB4TZ8RL6EA"
STORE_REL = r"Apps\2.0\Q7W2KX3M.0PD\NB4TZ8RL.6EA\manifests"
QUESTION = "Are you sure you want to completely remove Orvalith from your computer?"
QUIET_LOG = r"%TEMP%\Orvalith Uninstall.log"
NAMED_LOG = r"C:\Demo Tools\Orvalith uninstall log.txt"
ROWS = ["Creating system restore point", "Uninstalling Orvalith Add-In",
        "Removing any calendar task entries", "Removing program files",
        "Removing registry entries", "Removing Start menu link",
        "Removing Orvalith dialog settings"]


def product_files(*sections):
    """The product's files below its program folder, from the list the tests share."""
    files, section = [], None
    for line in open(os.path.join(ROOT, "testkit", "product_files.txt")):
        line = line.strip()
        if line.startswith("["):
            section = line[1:-1]
        elif line and not line.startswith("#") and section in sections:
            files.append(line)
    return files


# The program's own files, then every add-in deployment file of the three
# generations.
PROGRAM_FILES = [name for name in product_files("program") if "\\" not in name]
GENERATION_FILES = sorted(set(product_files("program", "older add-ins")) - set(PROGRAM_FILES))

# The user's Outlook profile, as the fake Outlook reads it: the product's
# entries (marker 0 or more) in calendars of two stores, one nested under a
# mail folder, beside the user's own entries, views and items.
OUTLOOK_PROFILE = """\
store|Mailbox - Pat Doe|STORE-MAILBOX
folder|Mailbox - Pat Doe/Inbox|mail|INBOX
folder|Mailbox - Pat Doe/Calendar|calendar|CALENDAR
folder|Mailbox - Pat Doe/Inbox/Projects|mail|PROJECTS
folder|Mailbox - Pat Doe/Inbox/Projects/Project Calendar|calendar|PROJECT-CALENDAR
folder|Mailbox - Pat Doe/Tasks|tasks|TASKS
store|Archive|STORE-ARCHIVE
folder|Archive/Old Calendar|calendar|OLD-CALENDAR
appointment|Mailbox - Pat Doe/Calendar|Orvalith: call the bank|0
appointment|Mailbox - Pat Doe/Calendar|Dentist|-
appointment|Mailbox - Pat Doe/Calendar|Orvalith: send the report|12
appointment|Mailbox - Pat Doe/Calendar|Team lunch|-
appointment|Mailbox - Pat Doe/Inbox/Projects/Project Calendar|Orvalith: review the plan|3
appointment|Mailbox - Pat Doe/Inbox/Projects/Project Calendar|Project kick-off|-
appointment|Archive/Old Calendar|Orvalith: renew the lease|1
appointment|Archive/Old Calendar|Holiday|-
mail|Mailbox - Pat Doe/Inbox|Welcome to Orvalith|-
view|Mailbox - Pat Doe/Tasks|Orvalith Nat Ord
view|Mailbox - Pat Doe/Tasks|Orvalith A1
view|Mailbox - Pat Doe/Tasks|Simple List
storage|Mailbox - Pat Doe/Tasks|Orvalith Settings
task|Mailbox - Pat Doe/Tasks|Orvalith Settings|-
task|Mailbox - Pat Doe/Tasks|Buy milk|-
"""
OUTLOOK_OURS = ("Orvalith:", "Orvalith Nat Ord", "Orvalith A1", "Orvalith Settings")


# What each scenario does differently: the command line, the answers, the
# machine and what a person must see.
SCENARIOS = {
    "full_yes": dict(answers="Yes", about="a full run, answered Yes"),
    "answer_no": dict(answers="No", about="the user answers No: nothing changes"),
    "outlook_running": dict(answers="", outlook_running=True,
                            about="Outlook is running: message 16, nothing changes"),
    "partial": dict(answers="", arguments="/PartialOK " + PROGRAM_WIN, no_app_paths=True,
                    about="partial mode from the product's setup: no question"),
    "addin_cancelled": dict(answers="Yes", addin_exit=-500,
                            about="the add-in uninstaller is cancelled: messages 63 and 30"),
    "file_held_open": dict(answers="Yes", hold="Orvalith.chm",
                           about="a program file is held open: queued for deletion at the "
                                 "next restart"),
    "outlook_cannot_start": dict(answers="Yes", outlook_broken=True,
                                 about="Outlook cannot be started: messages 17 and 30"),
    "sync_conflict": dict(answers="Yes", sync_conflict=True,
                          about="a calendar entry hits a synchronisation conflict: message 34"),
    "windows_vista": dict(answers="Yes", windows="vista",
                          about="Windows 6.0: the question comes as a task dialog"),
    "second_run": dict(answers="Yes", runs=2, first_run_as="full_yes",
                       about="a second run right after a full one"),
    # Quiet runs: nobody answers; "log" is where the run's log is expected.
    "quiet_full": dict(arguments="/Quiet", log=QUIET_LOG, exit=0,
                       about="a quiet run: no window, everything removed, exit code 0"),
    "quiet_outlook_running": dict(arguments="/Quiet", log=QUIET_LOG, exit=1618,
                                  outlook_running=True,
                                  about="a quiet run while Outlook runs: exit code 1618"),
    "quiet_addin_cancelled": dict(arguments='/Quiet /Log="%s"' % NAMED_LOG, log=NAMED_LOG,
                                  exit=1602, addin_exit=-500,
                                  about="a quiet run, the add-in uninstaller cancelled: "
                                        "exit code 1602"),
    "outlook_busy": dict(answers="Yes", outlook_rules="busy|Delete|2|8000\n",
                         about="Outlook is busy for 8 s from the 3rd Delete: every entry still "
                               "goes, no message"),
    "outlook_gone": dict(answers="Yes", outlook_rules="gone|Delete|1\n", runs=2,
                         first_run_as="outlook_gone_first", second_run_completes=True,
                         about="Outlook goes away at the 2nd Delete; a second run with Outlook "
                               "back removes the rest"),
    "outlook_gone_first": dict(answers="Yes", outlook_rules="gone|Delete|1\n",
                               about="Outlook goes away at the 2nd Delete: messages 12 and 30, "
                                     "what a second run needs kept"),
    # The program's own limit is 5 minutes; this copy of it has 30 s, changed
    # in its resource (OUTLOOK_CALL_LIMIT), so the test need not wait 5.
    "quiet_outlook_hang": dict(arguments="/Quiet", log=QUIET_LOG, exit=1603,
                               outlook_rules="hang|Restrict|1\n", call_limit_ms=30000,
                               about="a quiet run, an Outlook call that never answers: "
                                     "abandoned after the limit, exit code 1603"),
    "outlook_busy_beyond_budget": dict(answers="Yes",
                                       outlook_rules="busy|Delete|1||0x80010001|100000\n",
                                       about="Outlook stays busy from the 2nd Delete: after the "
                                             "run's 2 minutes, messages 31 and 30"),
    "outlook_started_and_ended": dict(arguments="/Quiet", log=QUIET_LOG, exit=0,
                                      about="a quiet run starts Outlook, a process of its own, "
                                            "and leaves none behind"),
    "quiet_file_held_open": dict(arguments='%s /Log="%s" /quiet' % (PROGRAM_WIN, NAMED_LOG),
                                 log=NAMED_LOG, exit=3010, hold="Orvalith.chm", no_app_paths=True,
                                 restart=True,
                                 about="a quiet run from the root folder, a program file held "
                                       "open: exit code 3010, the file and its folders gone "
                                       "after a restart"),
    "quiet_usage_error": dict(arguments='/quiet /Log="C:\\Demo Tools\\never closed.log',
                              log=QUIET_LOG, exit=1639,
                              about="a quiet run whose command line cannot be read: exit code "
                                    "1639, nothing changes"),
    # Removal across a company: the computer's part and each user's part.
    "all_users": dict(arguments='/AllUsers /Log="%s"' % NAMED_LOG, log=NAMED_LOG, exit=0,
                      split="both", all_users=True,
                      about="/AllUsers: the computer's part, and the signed-in user's part "
                            "through the hand-over: exit code 0"),
    # The add-in helper runs in the user's session beside Outlook, holding
    # its program file, which the user's part would have closed: the file
    # waits for the restart.
    "all_users_outlook_running": dict(arguments='/AllUsers /Log="%s"' % NAMED_LOG, log=NAMED_LOG,
                                      exit=3010, split="machine", all_users=True,
                                      outlook_running=True, logons=2,
                                      held=PROGRAM_WIN + "\\OrvalithAddInHelper.exe",
                                      about="/AllUsers while the user's Outlook runs: the "
                                            "user's part waits for a logon, which removes it; "
                                            "a second logon changes nothing; the running "
                                            "helper's file waits for the restart (exit code "
                                            "3010)"),
    "user_part": dict(arguments="/User", log=QUIET_LOG, exit=0, split="user", all_users=True,
                      about="/User on an all-users installation: only this user's part, "
                            "no administrator asked"),
    # Cut short, then run again: the uninstaller is ended part-way at each
    # point, then run again as the first phase would, with the root folder.
    "cut_short_early": dict(answers="Yes", arguments=PROGRAM_WIN, cut_points=["addin", "calendar"],
                            about="runs cut short during the add-in's uninstall and halfway "
                                  "through the calendar entries, each run again"),
    "cut_short_late": dict(answers="Yes", arguments=PROGRAM_WIN, cut_points=["files", "registry"],
                           about="runs cut short halfway through the program files and right "
                                 "after the registry step, each run again"),
    # Outlook as a process of its own outlives a client that died holding
    # it, until COM lets the dead client's references go (minutes later; here
    # when the scenario says so): a run straight after the cut meets it.
    "cut_short_outlook_lingers": dict(answers="Yes", arguments=PROGRAM_WIN, outlook_process=True,
                                      lingers=True, orphan_seconds=3600,
                                      about="a run cut short while it holds Outlook; a run "
                                            "straight after it meets Outlook still running "
                                            "(message 16, nothing changes); once Outlook has "
                                            "ended, a third run removes the rest"),
    # A Japanese Windows (code page 932), the product installed below the
    # user's folder in folders whose names end in characters whose second
    # byte is that of a backslash.
    "code_page_932": dict(arguments="/Quiet", log=QUIET_LOG, exit=0, locale="ja_JP.UTF-8",
                          program=r"AppData\Local\Brindlecoveソ\Orvalith 十",
                          about="a quiet run on a Japanese Windows, the product in folders "
                                "ending in ソ and 十: everything removed, exit code 0"),
    # A Western Windows (code page 1252) whose desktop and product folders are
    # in a folder the code page cannot name: reached through its short name.
    "code_page_1252": dict(arguments="/Quiet", log=QUIET_LOG, exit=0, locale="en_US.UTF-8",
                           desktop=r"Łukasz\Desktop", program=r"Łukasz\Brindlecove\Orvalith",
                           about="a quiet run on a Western Windows whose desktop and product "
                                 "are in \"Łukasz\": everything removed, exit code 0"),
}


def say(text):
    print(text, flush=True)


def find_built(build, name):
    """The built file of that name nearest the build folder's top."""
    found = []
    for folder, dirs, files in os.walk(build):
        dirs[:] = [d for d in dirs if d not in ("drive_c", "CMakeFiles", "googletest") and
                   not d.startswith(("demo", "e2e-", "scenarios", "wine-", "outlook64"))]
        found += [os.path.join(folder, f) for f in files if f.lower() == name.lower()]
    return min(found, key=len) if found else None


def wine_env(prefix, extra=None):
    env = dict(os.environ, ORVALITH_WINEPREFIX=prefix)
    env.update(extra or {})
    return env


def unix_to_z(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# --- the pristine prefix --------------------------------------------------

def pristine_prefix(build):
    prefix = os.path.join(build, "e2e-pristine", "prefix")
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        say("Setting up Wine: making a fresh 64-bit Windows prefix (a few minutes, once)...")
        subprocess.run([os.path.join(ROOT, "tools", "make-wine-prefixes"), build],
                       stdout=subprocess.DEVNULL, check=True)
    return prefix


def stop_wine(prefix):
    """Ends every Wine process of the prefix, stalled ones too."""
    if os.path.isdir(prefix):
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine(prefix, arguments, env, timeout, errors=None):
    """Runs a Windows program in the prefix; True when it ended with exit code 0.

    The run has a process group of its own, so that a time-out ends the
    virtual display and Wine's processes with it, and nothing of it is left
    to slow down the next run. In a session of tools/wine-session (named in
    env) the session's Wine server and the processes it serves stay."""
    # Wine's own error lines are kept beside the report when asked for.
    stderr = open(errors, "ab") if errors else subprocess.DEVNULL
    if errors:
        env = dict(env, WINEDEBUG=os.environ.get("WINEDEBUG", "fixme-all"))
    process = subprocess.Popen([WINE_RUN] + arguments, env=env, stdout=subprocess.DEVNULL,
                               stderr=stderr, start_new_session=True)
    try:
        process.wait(timeout=timeout)
        return process.returncode == 0
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return False
    finally:
        if not env.get("ORVALITH_WINE_SESSION"):
            stop_wine(prefix)
        if errors:
            stderr.close()


def user_name(prefix):
    users = [u for u in os.listdir(os.path.join(prefix, "drive_c", "users")) if u != "Public"]
    return users[0]


# --- the machine ----------------------------------------------------------

class MACHINE:
    def __init__(self, prefix, user):
        self.prefix = prefix
        self.user = user
        self.footprint = []  # (kind, name, fate, why)

    def unix(self, win_path):
        assert win_path[1:3] == ":\\"
        return os.path.join(self.prefix, "drive_c", *win_path[3:].split("\\"))

    def user_folder(self, *parts):
        return "\\".join(["C:\\users", self.user] + list(parts))

    def write(self, win_path, content=b"", fate=None, why=""):
        path = self.unix(win_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as file:
            file.write(content if isinstance(content, bytes) else content.encode())
        if fate:
            self.footprint.append(("file", win_path, fate, why))

    def copy(self, source, win_path, fate=None, why=""):
        with open(source, "rb") as file:
            self.write(win_path, file.read(), fate, why)


def reg_text(value):
    if isinstance(value, int):
        return "dword:%08x" % (value & 0xFFFFFFFF)
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def make_machine(build, out, scenario):
    settings = SCENARIOS[scenario]
    prefix = os.path.join(out, "machine")
    say("Seeding the demonstration machine (%s)..." % settings["about"])
    pristine = pristine_prefix(build)
    if os.path.exists(out):
        stop_wine(prefix)
        shutil.rmtree(out)
    os.makedirs(out)
    # The files are laid out here; the registry comes with the seeded copy
    # of the pristine prefix that the files are merged into at the end.
    machine = MACHINE(prefix, user_name(pristine))
    built = {name: find_built(build, name) for name in [
        "Orvalith Uninstall.exe", "SrClient.DLL", "demo_driver.exe", "demo_addin_helper.exe",
        "Outlook.exe", "url_recorder.exe", "fake_addin_uninstaller.exe", "fake_outlook.dll",
        "demo_logon.exe"]}
    for name in ["Orvalith Uninstall.exe", "SrClient.DLL", "demo_driver.exe",
                 "demo_addin_helper.exe", "url_recorder.exe"]:
        if not built[name]:
            sys.exit("not built: " + name)

    # The program folder, as the setup leaves it; the add-in helper is ours.
    for name in PROGRAM_FILES:
        if name == "OrvalithAddInHelper.exe":
            machine.copy(built["demo_addin_helper.exe"], PROGRAM_WIN + "\\" + name, "gone",
                         "a program file")
        elif name == "Orvalith Uninstall.exe":
            machine.copy(built[name], PROGRAM_WIN + "\\" + name, "gone", "a program file")
        else:
            machine.write(PROGRAM_WIN + "\\" + name, "Orvalith " + name, "gone", "a program file")
    for name in GENERATION_FILES:
        machine.write(PROGRAM_WIN + "\\" + name, "deployment " + name, "gone",
                      "an add-in deployment file")

    # Shortcuts of both desktops and both Start menus, next to a foreign one.
    desktops = ["C:\\users\\Public\\Desktop", machine.user_folder("Desktop")]
    groups = ["C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvalith",
              machine.user_folder("AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                                  "Programs", "Orvalith")]
    for desktop in desktops:
        for name in ["Orvalith.lnk", "Uninstall Orvalith.lnk"]:
            machine.write(desktop + "\\" + name, "shortcut", "gone", "a desktop shortcut")
    for group in groups:
        for name in ["Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk"]:
            machine.write(group + "\\" + name, "shortcut", "gone", "a Start-menu shortcut")
    machine.write(desktops[1] + "\\Quillmate.lnk", "shortcut", "stays", "another product's")
    machine.write(groups[0].replace("Orvalith", "Quillmate") + "\\Quillmate.lnk", "shortcut",
                  "stays", "another product's")

    # The click-once store: the add-in's manifests and another add-in's.
    store = machine.user_folder("AppData", "Local", STORE_REL)
    marks = {"orva..tion_5f0c1a2b3c4d5e6f_0005.0000_none_1a2b3c4d5e6f7a8b":
             "Orvalith Outlook Add-In.vsto, Version=5.0.72.0, Culture=neutral, "
             "PublicKeyToken=5f0c1a2b3c4d5e6f, processorArchitecture=msil",
             "quil..tion_0a1b2c3d4e5f6a7b_0002.0001_none_0f1e2d3c4b5a6978":
             "Quillmate Add-In.vsto, Version=2.1.0.0, Culture=neutral, "
             "PublicKeyToken=0a1b2c3d4e5f6a7b, processorArchitecture=msil",
             "help..tion_7f6e5d4c3b2a1908_0001.0000_none_1122334455667788":
             "Helper for Orvalith Outlook Add-In.vsto, Version=1.0.0.0, Culture=neutral, "
             "PublicKeyToken=7f6e5d4c3b2a1908, processorArchitecture=msil"}
    components = {"orva...dll_5f0c1a2b3c4d5e6f_0005.0000_none_8a7b6c5d4e3f2a1b":
                  "Orvalith Outlook Add-In.dll, Version=5.0.72.0, Culture=neutral, "
                  "PublicKeyToken=5f0c1a2b3c4d5e6f, processorArchitecture=msil, type=win32"}
    addin_exit = settings.get("addin_exit", 0)
    ours_in_store = []
    for name, identity in list(marks.items()) + list(components.items()):
        ours = identity.lower().startswith("orvalith outlook add-in")
        if ours:
            ours_in_store.append(store + "\\" + name + ".manifest")
            fate, why = ("gone", "the add-in's manifest, which its own uninstaller removes") \
                if addin_exit == 0 else \
                ("stays", "the add-in's manifest; its cancelled uninstaller leaves it, and the "
                 "store is cleaned only when that fails") if addin_exit == -500 else \
                ("gone", "the add-in's manifest, cleaned when its uninstall failed")
        else:
            fate, why = "stays", "another add-in's manifest"
        machine.write(store + "\\" + name + ".manifest", identity, fate, why)

    # Outlook's data lives beside the machine, where the report reads it.
    profile = OUTLOOK_PROFILE
    profile += settings.get("outlook_rules", "")
    if settings.get("outlook_broken"):
        profile += "fault|CreateInstance|*|0x80080005\n"
    if settings.get("sync_conflict"):
        profile += ("fault|Delete|Orvalith: send the report|0x80041200|0|1|"
                    "The item cannot be saved: a sync conflict exists.\n")
    with open(os.path.join(out, "outlook-before.txt"), "w") as file:
        file.write(profile)
    with open(os.path.join(out, "outlook.txt"), "w") as file:
        file.write(profile)

    tools = {}
    for name in ["demo_driver.exe", "url_recorder.exe", "Outlook.exe",
                 "fake_addin_uninstaller.exe", "fake_outlook.dll", "demo_logon.exe"]:
        if built[name]:
            tools[name] = TOOLS_WIN + "\\" + name
            machine.copy(built[name], tools[name])
    # The uninstaller runs from a temporary folder, as the first phase
    # starts it. The stand-in restore-point library takes the place of
    # Wine's own in the system folder, where the uninstaller loads it from
    # (the files written here win over the seeded machine's).
    run_folder = machine.user_folder("Temp", "OrvalithUninstall")
    machine.copy(built["Orvalith Uninstall.exe"], run_folder + "\\Orvalith Uninstall.exe")
    if settings.get("call_limit_ms"):
        set_call_limit(machine.unix(run_folder + "\\Orvalith Uninstall.exe"),
                       settings["call_limit_ms"])
    machine.copy(built["SrClient.DLL"], SYSTEM32_WIN + "\\srclient.dll")

    # The registry, written by a 32-bit regedit as the 32-bit setup would.
    keys = []  # (hive\key, {value: data}, fate, why)
    uninstall = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
    app_paths = r"Software\Microsoft\Windows\CurrentVersion\App Paths\Orvalith.exe"
    if not settings.get("no_app_paths"):
        keys.append(("HKEY_CURRENT_USER\\" + app_paths,
                     {"": PROGRAM_WIN + "\\Orvalith.exe", "Path": PROGRAM_WIN,
                      "RootPath": PROGRAM_WIN}, "gone", "the product's App Paths entry"))
    keys.append(("HKEY_LOCAL_MACHINE\\" + app_paths, {"": PROGRAM_WIN + "\\Orvalith.exe",
                                                     "Path": PROGRAM_WIN},
                 "gone", "the product's App Paths entry"))
    keys.append(("%s\\%s\\Brindlecove Orvalith" % (
        "HKEY_LOCAL_MACHINE" if settings.get("all_users") else "HKEY_CURRENT_USER", uninstall),
                 {"DisplayName": "Orvalith", "DisplayVersion": "5.0.72",
                  "UninstallString": PROGRAM_WIN + "\\OrvalithUnPhase1.exe"},
                 "gone", "the product's entry in the installed programs"))
    addin_command = tools.get("fake_addin_uninstaller.exe", TOOLS_WIN + r"\missing.exe")
    addin_command += " /entry %s /exit %d" % (ADDIN_ENTRY, addin_exit)
    addin_command += "".join(' /manifest "%s"' % path for path in ours_in_store)
    addin_fate = "gone" if addin_exit == 0 else "stays"
    keys.append(("HKEY_CURRENT_USER\\%s\\%s" % (uninstall, ADDIN_ENTRY),
                 {"DisplayName": ADDIN_DISPLAY_NAME, "UninstallString": addin_command},
                 addin_fate, "the add-in's entry, removed by the add-in's own uninstaller"))
    keys.append(("HKEY_CURRENT_USER\\%s\\%s" % (uninstall, FOREIGN_ENTRY),
                 {"DisplayName": "Quillmate Outlook Add-In",
                  "UninstallString": TOOLS_WIN + r"\quillmate-remove.exe"},
                 "stays", "another add-in's entry"))
    mapi = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows Messaging Subsystem\MSMapiApps"
    keys.append((mapi, {"Orvalith.exe": "Microsoft Outlook"}, "gone",
                 "the product's MAPI application value"))
    keys.append((mapi, {"Quillmate.exe": "Microsoft Outlook"}, "stays",
                 "another program's MAPI value; the key stays"))
    keys.append((r"HKEY_CURRENT_USER\Software\Brindlecove\Orvalith\1.0",
                 {"LastView": "Orvalith Nat Ord", "ShowCompleted": 1}, "gone",
                 "the product's per-user settings"))
    keys.append((r"HKEY_CURRENT_USER\Software\Brindlecove\Orvalith\1.0\Columns",
                 {"Order": "Subject,Due,Priority"}, "gone", "the product's per-user settings"))
    side = r"HKEY_CURRENT_USER\Software\Classes\Software\Microsoft\Windows\CurrentVersion" \
           r"\Deployment\SideBySide\2.0"
    keys.append((side, {"ComponentStore_RandomString": STORE_STRING}, "stays",
                 "the click-once store's own entries stay"))
    for group, entries in (("Marks", marks), ("Components", components)):
        for name, identity in entries.items():
            keys.append((side + "\\" + group + "\\" + name, {"identity": identity}, "stays",
                         "the click-once store's own entries stay"))
    keys.append((r"HKEY_LOCAL_MACHINE\Software\Classes\https\shell\open\command",
                 {"": '"%s\\url_recorder.exe" "%%1"' % TOOLS_WIN}, "stays",
                 "the machine's web browser (records the pages it is asked to open)"))
    local_outlook = outlook_stand_in(build, settings.get("outlook_process"))
    if local_outlook:
        tools["OUTLOOK.EXE"] = OUTLOOK_WIN
    if "fake_outlook.dll" in tools and not local_outlook:
        clsid = "{0006F03A-0000-0000-C000-000000000046}"
        keys.append((r"HKEY_LOCAL_MACHINE\Software\Classes\CLSID\%s\InprocServer32" % clsid,
                     {"": tools["fake_outlook.dll"], "ThreadingModel": "Apartment"}, "stays",
                     "Outlook"))
        keys.append((r"HKEY_LOCAL_MACHINE\Software\Classes\CLSID\%s\ProgID" % clsid,
                     {"": "Outlook.Application"}, "stays", "Outlook"))
        keys.append((r"HKEY_LOCAL_MACHINE\Software\Classes\Outlook.Application\CLSID",
                     {"": clsid}, "stays", "Outlook"))
    if settings.get("split"):
        # A process started from a user's environment block gets its
        # variables from the registry alone: the stand-ins' records too.
        keys.append((r"HKEY_CURRENT_USER\Environment", split_environment(out), "stays",
                     "the stand-ins' records, for a user's part started as that user"))
    if settings.get("windows"):
        keys.append((r"HKEY_CURRENT_USER\Software\Wine", {"Version": settings["windows"]},
                     "stays", "the Windows version the machine reports"))

    # With no window manager on the virtual display, Wine draws the windows'
    # frames and title bars itself when told that nothing decorates them.
    keys.append((r"HKEY_CURRENT_USER\Software\Wine\X11 Driver", {"Decorated": "N"}, "stays",
                 "Wine draws the windows' title bars, as Windows does"))

    lines = ["REGEDIT4", ""]
    for key, values, fate, why in keys:
        lines.append("[%s]" % key)
        for name, data in values.items():
            lines.append("%s=%s" % ("@" if name == "" else reg_text(name), reg_text(data)))
            machine.footprint.append(("value", key + "\\" + (name or "(default)"), fate, why))
        lines.append("")
    seed = os.path.join(out, "machine.reg")
    with open(seed, "w", newline="\r\n") as file:
        file.write("\n".join(lines) + "\n")
    if local_outlook:
        with open(seed, "a", newline="\r\n") as file:
            file.write("; Outlook: %s\n" % hashlib.sha1(open(local_outlook, "rb").read()).hexdigest())
    copy_prefix(seeded_prefix(build, pristine, seed, local_outlook), prefix)
    stored = registry_entries(prefix)
    machine.footprint = [(kind, stored_value(name, stored) if kind == "value" else name, fate, why)
                         for kind, name, fate, why in machine.footprint]
    with open(os.path.join(out, "footprint.json"), "w") as file:
        json.dump(machine.footprint, file, indent=1)
    return machine, tools, run_folder


# The figure of the program's resource OUTLOOK_CALL_LIMIT, as built.
CALL_LIMIT_TEXT = b"Outlook call limit in milliseconds: %010d"


def set_call_limit(path, milliseconds):
    """Changes the limit a quiet run allows one Outlook call, in place, in
    this copy of the program."""
    data = open(path, "rb").read()
    shipped = CALL_LIMIT_TEXT % (5 * 60 * 1000)
    if data.count(shipped) != 1:
        sys.exit("the program's Outlook call limit (%s) is not in %s" % (shipped, path))
    with open(path, "wb") as file:
        file.write(data.replace(shipped, CALL_LIMIT_TEXT % milliseconds))


def kept_for_second_run(name):
    """Whether a footprint item is what a run that left Outlook data keeps:
    the uninstall entry, the App Paths entries and the two programs."""
    return name.endswith(("\\Orvalith Uninstall.exe", "\\OrvalithUnPhase1.exe")) and \
        name.startswith(PROGRAM_WIN) or \
        ("Uninstall\\Brindlecove Orvalith" in name or "App Paths\\Orvalith.exe" in name)


def stored_value(name, registry):
    """Where 64-bit Windows keeps a value that a 32-bit program wrote as name:
    most of HKLM\\Software in the 32-bit view (Wow6432Node), the keys that
    both views share where they are."""
    key, _, value = name.rpartition("\\")
    machine = "HKEY_LOCAL_MACHINE\\Software\\"
    for view in (machine + "Classes\\", machine):
        if key.startswith(view) and "key " + view + "Wow6432Node\\" + key[len(view):] in registry:
            return view + "Wow6432Node\\" + key[len(view):] + "\\" + value
    return name


def copy_prefix(source, target):
    """Merges a copy of the prefix source into target, where files already
    in target stay as they are. Hard links keep it cheap; what Wine rewrites
    in place (its registry and settings files) is copied."""
    def link(source_file, target_file):
        if not os.path.lexists(target_file):
            os.link(source_file, target_file)
    shutil.copytree(source, target, symlinks=True, copy_function=link, dirs_exist_ok=True)
    for folder, _, files in os.walk(target):
        for file in files:
            if file.endswith((".reg", ".ini")):
                path = os.path.join(folder, file)
                data = open(path, "rb").read()
                os.unlink(path)
                open(path, "wb").write(data)


def seeded_prefix(build, pristine, seed, local_outlook=None):
    """The pristine prefix with the registry of the file seed, made once by
    regedit for every scenario whose registry is the same (scenarios that run
    side by side wait for each other here)."""
    digest = hashlib.sha1(open(seed, "rb").read()).hexdigest()[:16]
    folder = os.path.join(build, "e2e-seeded", digest)
    prefix = os.path.join(folder, "prefix")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            partial = prefix + ".partial"
            stop_wine(partial)
            shutil.rmtree(partial, ignore_errors=True)
            copy_prefix(pristine, partial)
            shutil.copy(seed, os.path.join(folder, "machine.reg"))
            seed_win = unix_to_z(os.path.join(folder, "machine.reg"))
            if not wine(partial, [SYSTEM32_WIN + "\\regedit.exe", "/S", seed_win],
                        wine_env(partial), 240, os.path.join(folder, "wine-errors.txt")):
                report_wine_errors([os.path.join(folder, "wine-errors.txt")])
                sys.exit("Wine could not seed the machine's registry")
            if local_outlook:
                register_outlook(partial, local_outlook, folder)
            os.rename(partial, prefix)
    return prefix


# --- snapshots of the whole machine ---------------------------------------

def registry_entries(prefix):
    """Every key and value of the prefix's registry files, as text lines."""
    entries = set()
    for name, hive in (("system.reg", "HKEY_LOCAL_MACHINE"), ("user.reg", "HKEY_CURRENT_USER")):
        with open(os.path.join(prefix, name), encoding="utf-8", errors="replace") as file:
            entries |= registry_text_entries(
                (raw.rstrip("\n") for raw in file),
                lambda header: hive + "\\" + header.replace("\\\\", "\\"))
    return entries


def registry_text_entries(lines, key_of):
    """The keys and values of registry text (Wine's registry files, regedit's
    export) as text lines; key_of names the key of a header's text, or None
    for a key passed over."""
    entries = set()
    key = None
    pending = ""
    for line in lines:
        if pending:
            line = pending + line.lstrip()
            pending = ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        header = re.match(r"^\[(.*)\](?: \d+)?$", line)
        if header:
            key = key_of(header.group(1))
            if key:
                entries.add("key " + key)
        elif key and line and not line.startswith(("#", ";")):
            entries.add("value " + key + " : " + line)
    return entries


def file_entries(prefix):
    entries = set()
    drive = os.path.join(prefix, "drive_c")
    for folder, dirs, files in os.walk(drive):
        rel = os.path.relpath(folder, drive)
        win = "C:\\" + ("" if rel == "." else rel.replace("/", "\\") + "\\")
        for name in dirs:
            entries.add("folder " + win + name)
        for name in files:
            path = os.path.join(folder, name)
            size = os.path.getsize(path) if os.path.exists(path) else -1
            entries.add("file %s%s (%d bytes)" % (win, name, size))
    return entries


# Wine's own bookkeeping that any program run changes; the desktop's
# appearance (colours, window metrics, theme), which Wine's desktop fills in
# on a prefix's first display, under qemu now and then only in a later run;
# and the console and settings of Wine's debugger, which starts when one of
# Wine's own processes crashes (a crash of a program under test shows in its
# exit code instead).
WINE_NOISE = [r"HKEY_CURRENT_USER\Console", r"HKEY_CURRENT_USER\Software\Wine\WineDbg",
              r"HKEY_CURRENT_USER\Control Panel\Colors",
              r"HKEY_CURRENT_USER\Control Panel\Desktop",
              r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager",
              r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager",
              r"HKEY_LOCAL_MACHINE\Software\Wine", r"HKEY_CURRENT_USER\Software\Wine\Explorer",
              r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Perflib",
              r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\NetworkCards",
              r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer",
              r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer",
              r"HKEY_CURRENT_USER\Volatile Environment",
              r"HKEY_LOCAL_MACHINE\Hardware", r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum",
              r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class",
              r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\DeviceClasses",
              r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services",
              r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run",
              "C:\\windows\\", r"C:\users\Public\Desktop\desktop.ini",
              # The volatile keys of Wine's display driver and desktop, which
              # a running Wine server shows (regedit's export) and its files
              # never hold.
              r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Video",
              r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ServiceCurrent",
              r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles",
              r"HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters"]


def snapshot(prefix):
    return {"registry": sorted(registry_entries(prefix)), "files": sorted(file_entries(prefix))}


# --- the run ----------------------------------------------------------------

# Shorter than Windows' six minutes, long enough for a run straight after a
# cut to meet the Outlook that the cut run left.
ORPHAN_SECONDS = 45
# The file whose arrival stands for COM's collection of a dead client's
# references, for a scenario that chooses that moment itself.
COLLECTED = "com-collected"


def split_environment(out):
    """The stand-ins' record variables, as the run hands them to the uninstaller."""
    return {"ORVALITH_HELPER_JOURNAL": unix_to_z(os.path.join(out, "helper.journal")),
            "ORVALITH_FAKE_UNINSTALLER_JOURNAL": unix_to_z(os.path.join(out, "addin.journal")),
            "ORVALITH_FAKE_OUTLOOK_DATA": unix_to_z(os.path.join(out, "outlook.txt")),
            "ORVALITH_FAKE_OUTLOOK_JOURNAL": unix_to_z(os.path.join(out, "outlook.journal"))}


def run_once(out, machine, tools, run_folder, settings, round_number):
    tag = "" if round_number == 1 else "-run%d" % round_number
    pictures = os.path.join(out, "pictures" + tag)
    os.makedirs(pictures, exist_ok=True)
    journal = os.path.join(out, "driver%s.jsonl" % tag)
    # The records of a run are written under plain names; an earlier run's
    # are renamed after it (RECORDS). A quiet run logs where its command line
    # or the temporary folder says.
    log = settings.get("log", "").replace("%TEMP%", machine.user_folder("Temp"))
    env = wine_env(machine.prefix, {
        "WINEDLLOVERRIDES": "srclient=n",
        "ORVALITH_UNINSTALL_LOG": "" if log else unix_to_z(os.path.join(out, "uninstall.log")),
        "ORVALITH_SRCLIENT_JOURNAL": unix_to_z(os.path.join(out, "srclient.journal")),
        "ORVALITH_URL_RECORD": unix_to_z(os.path.join(out, "pages.txt")),
        "ORVALITH_HELPER_JOURNAL": unix_to_z(os.path.join(out, "helper.journal")),
        "ORVALITH_FAKE_UNINSTALLER_JOURNAL": unix_to_z(os.path.join(out, "addin.journal")),
        "ORVALITH_FAKE_OUTLOOK_DATA": unix_to_z(os.path.join(out, "outlook.txt")),
        "ORVALITH_FAKE_OUTLOOK_JOURNAL": unix_to_z(os.path.join(out, "outlook.journal")),
        # How long OUTLOOK.EXE outlives a client that died holding it (COM's
        # collection of a dead client's references: about six minutes).
        "ORVALITH_FAKE_OUTLOOK_ORPHAN_SECONDS": str(settings.get("orphan_seconds",
                                                                 ORPHAN_SECONDS)),
        "ORVALITH_FAKE_OUTLOOK_COLLECTED": unix_to_z(os.path.join(out, COLLECTED)),
    })
    if settings.get("session"):
        env["ORVALITH_WINE_SESSION"] = settings["session"]
    arguments = settings.get("arguments", "")
    driver = [tools["demo_driver.exe"], "--program", run_folder + "\\Orvalith Uninstall.exe",
              "--arguments", arguments, "--folder", run_folder, "--journal", unix_to_z(journal),
              "--pictures", unix_to_z(pictures), "--answers", settings.get("answers", ""),
              "--limit", str(settings.get("limit", 240))]
    if round_number == 1:
        driver += ["--helper", PROGRAM_WIN + "\\OrvalithAddInHelper.exe"]
    if settings.get("outlook_running") and "OUTLOOK.EXE" in tools:
        driver += ["--also", tools["OUTLOOK.EXE"]]
    elif settings.get("outlook_running") and "Outlook.exe" in tools:
        driver += ["--also", tools["Outlook.exe"]]
    if settings.get("hold"):
        driver += ["--hold", PROGRAM_WIN + "\\" + settings["hold"]]
    if settings.get("cut"):
        driver += ["--cut", settings["cut"], "--hold-started",
                   "yes" if settings.get("hold_started") else "no"]
        driver += ["--arm", settings["arm"]] if settings["arm"] else []
    say("Running \"Orvalith Uninstall.exe\" %s on the machine, answering %s (about a minute)..."
        % (arguments or "(no arguments)", settings.get("answers") or "nothing"))
    started = time.time()
    # Wine's virtual desktop (explorer /desktop) does not start under qemu
    # here, so the windows show on the virtual display itself. The driver
    # gives up after 240 s; this is for a driver that stalls itself.
    errors = os.path.join(out, "wine-errors%s.txt" % tag)
    wall_limit = settings.get("limit", 240) + 120
    if not wine(machine.prefix, driver, env, wall_limit, errors) and \
            time.time() - started >= wall_limit:
        say("The run did not end within %d s." % wall_limit)
    if log and os.path.exists(machine.unix(log)):
        shutil.copy(machine.unix(log), os.path.join(out, "uninstall.log"))
    convert_pictures(pictures)
    return journal, time.time() - started


def bmp_to_png(source, target):
    data = open(source, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + \
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0,
                                                             0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)


def convert_pictures(folder):
    for name in sorted(os.listdir(folder)):
        if name.endswith(".bmp"):
            path = os.path.join(folder, name)
            try:
                bmp_to_png(path, path[:-4] + ".png")
                os.unlink(path)
            except (OSError, struct.error, ValueError):
                pass


def read_journal(path):
    events = []
    if os.path.exists(path):
        for line in open(path, encoding="utf-8", errors="replace"):
            try:
                events.append(json.loads(line))
            except ValueError:
                events.append({"t": 0, "event": "unreadable", "text": line.strip()})
    return events


def read_text(path):
    if not os.path.exists(path):
        return ""
    return open(path, encoding="latin-1").read().replace("\r\n", "\n")


# --- the report -------------------------------------------------------------

def make_report(out, scenario, journal, before, after, footprint, wall, tag=""):
    events = read_journal(journal)
    lines = ["Orvalith Uninstall on the demonstration machine: " + SCENARIOS[scenario]["about"],
             "Output folder: " + out, ""]
    lines.append("WHAT THE USER SAW, IN ORDER")
    messages = []
    for event in events:
        if event["event"] == "message":
            messages.append(event)
            lines.append("  %7.1f s  %s \"%s\" (icon: %s, buttons: %s)" % (
                event["t"], event["kind"], event["title"], event["icon"],
                " ".join(event["buttons"])))
            for text in event["texts"]:
                for part in text.split("\n"):
                    lines.append("               | " + part)
        elif event["event"] == "answer":
            lines.append("  %7.1f s  answered \"%s\"" % (event["t"], event["button"]))
        elif event["event"] in ("problem", "gave-up"):
            lines.append("  %7.1f s  DRIVER: %s" % (event["t"], event.get("text") or
                                                   "gave up; showing %s" % event.get("showing")))
        elif event["event"] == "window":
            lines.append("  %7.1f s  window \"%s\" of class %s" % (event["t"], event["title"],
                                                                  event["class"]))
        elif event["event"] == "exit":
            lines.append("  %7.1f s  the uninstaller ended with exit code %s" % (event["t"],
                                                                             event["code"]))
    progress = [e for e in events if e["event"] == "progress"]
    if not any(e["event"] in ("message", "progress", "window") for e in events):
        lines.insert(lines.index("WHAT THE USER SAW, IN ORDER") + 1, "  no window was shown")
    if progress:
        last = progress[-1]
        lines.append("")
        lines.append("THE PROGRESS DIALOG \"%s\", AS LAST SEEN (%d changes sampled)" %
                     (last["title"], len(progress)))
        for row in last["rows"]:
            label, _, state = row.rpartition("=")
            lines.append("  %-42s %s" % (label, state))
    else:
        lines.append("")
        lines.append("THE PROGRESS DIALOG: never shown")
    pages = [p for p in read_text(os.path.join(out, "pages.txt")).split("\n") if p]
    lines.append("")
    lines.append("PAGES OPENED: " + (", ".join(pages) if pages else "none"))
    helper = read_text(os.path.join(out, "helper.journal"))
    lines.append("ADD-IN HELPER WINDOW: " + ("closed by the uninstaller (WM_CLOSE)"
                                            if "WM_CLOSE" in helper else "not closed"))
    restore = read_text(os.path.join(out, "srclient.journal")).strip()
    lines.append("RESTORE POINT CALLS: " + (restore.replace("\n", "\n    ") if restore else "none"))
    addin = read_text(os.path.join(out, "addin.journal")).strip()
    lines.append("ADD-IN UNINSTALLER: " + (addin.replace("\n", "\n    ") if addin else "not run"))
    lines.append("")
    lines += outlook_process_lines(out)
    lines.append("OUTLOOK, BEFORE AND AFTER (the product's entries, views and settings go; "
                 "the user's stay)")
    for kind, where, name, fate in outlook_changes(out):
        lines.append("  %-7s %-11s %s  (in %s)" % (fate, kind, name, where))

    # The footprint: each item before and after, and whether that was expected.
    reg_after = set(after["registry"])
    reg_before = set(before["registry"])
    files_after = " ".join(after["files"])
    before_text = " ".join(before["files"]) + " ".join(before["registry"])

    def entry_line(kind, name):
        if kind == "file":
            return "file " + name + " ("
        key, _, value = name.rpartition("\\")
        return "value " + key + " : " + ("@=" if value == "(default)" else '"%s"=' % value)
    unexpected_fate = 0
    unexpected = []
    lines.append("")
    lines.append("THE PRODUCT'S FOOTPRINT, BEFORE AND AFTER")
    gone_expected = scenario_removes(scenario)
    for kind, name, fate, why in footprint:
        if kind == "file":
            present = ("file " + name + " (") in files_after
        else:
            key, _, value = name.rpartition("\\")
            value_line = "@=" if value == "(default)" else '"%s"=' % value
            present = any(e.startswith("value " + key + " : " + value_line) for e in reg_after)
        state = "present" if present else "gone"
        if fate is None:
            ok = True
        elif fate == "same":
            ok = present == (entry_line(kind, name) in before_text)
        else:
            expected = fate if gone_expected else "stays"
            ok = (state == "present") == (expected == "stays")
        if not ok:
            unexpected_fate += 1
            unexpected.append(name)
        lines.append("  %s %-7s %s %s (%s)" % ("  " if ok else "!!", state, kind, name, why))

    # The whole machine: what changed outside the footprint.
    names = [name for _, name, _, _ in footprint]

    # The keys holding the footprint's values, and every key above them
    # (Wine writes out an emptied parent key as a key of its own).
    value_keys = set()
    footprint_keys = set()
    for kind, name, _, _ in footprint:
        if kind == "value":
            key = name.rsplit("\\", 1)[0]
            value_keys.add(key)
            while "\\" in key:
                footprint_keys.add(key)
                key = key.rsplit("\\", 1)[0]

    def in_footprint(entry):
        key = entry.split(" ", 1)[1].split(" : ", 1)[0]
        return any(name in entry or entry.endswith(" " + name) for name in names) or \
            any(part in entry for part in ["Brindlecove", "Orvalith"]) or \
            (entry.startswith("key ") and key in footprint_keys) or \
            (entry.startswith("value ") and key in value_keys)

    def wine_noise(entry):
        return any(entry.split(" ", 1)[1].startswith(prefix) for prefix in WINE_NOISE)
    changes = []
    for label, b, a in (("registry", reg_before, reg_after),
                        ("files", set(before["files"]), set(after["files"]))):
        for entry in sorted(b - a):
            changes.append(("-", label, entry))
        for entry in sorted(a - b):
            changes.append(("+", label, entry))
    expected_changes = [c for c in changes if in_footprint(c[2])]
    noise = [c for c in changes if not in_footprint(c[2]) and wine_noise(c[2])]
    unexplained = [c for c in changes if not in_footprint(c[2]) and not wine_noise(c[2])]
    lines.append("")
    lines.append("NOTHING ELSE CHANGED: the whole registry and file list of the machine, before "
                 "and after")
    lines.append("  %d differences in the product's footprint (above), %d in Wine's own "
                 "bookkeeping, %d unexplained" % (len(expected_changes), len(noise),
                                                  len(unexplained)))
    for sign, label, entry in unexplained:
        lines.append("  !! %s %s" % (sign, entry))
    with open(os.path.join(out, "machine-diff%s.txt" % tag), "w") as file:
        for sign, label, entry in changes:
            kind = "footprint" if (sign, label, entry) in expected_changes else \
                "wine" if (sign, label, entry) in noise else "UNEXPLAINED"
            file.write("%s %-11s %s\n" % (sign, kind, entry))

    # Time: the driver's clock, split.
    lines.append("")
    lines.append("TIME")
    start = next((e["t"] for e in events if e["event"] == "start"), 0)
    end = next((e["t"] for e in events if e["event"] == "exit"), None)
    reading = 0.0
    for message in messages:
        answer = next((e for e in events if e["event"] == "answer" and e["t"] >= message["t"]),
                      None)
        if answer:
            reading += answer["t"] - message["t"] + 0.7
    ran_far = progress and any("Removing Start menu link...=black" in r
                               for r in progress[-1]["rows"]) or \
        "Step started: Removing Start menu link" in read_text(os.path.join(out, "uninstall.log"))
    waits = 2.6 if ran_far else 0.0
    addin_seconds = addin_time(os.path.join(out, "uninstall.log"))
    if end is not None:
        total = end - start
        lines.append("  the uninstaller ran %.1f s (the whole job %.0f s, with Wine's starts)" %
                     (total, wall))
        lines.append("  %.1f s the person answering (each message is read before it is "
                     "answered)" % reading)
        lines.append("  %.1f s the waits the program must make (300 ms twice around the add-in "
                     "helper, 1000 ms before the registry and the shortcut steps)" % waits)
        lines.append("  %s the add-in uninstaller" % ("%.1f s" % addin_seconds
                                                     if addin_seconds is not None else "-"))
        lines.append("  %.1f s the rest: starting under Wine and the program's own work" %
                     max(0.0, total - reading - waits - (addin_seconds or 0.0)))
    else:
        lines.append("  the uninstaller did not end")
    lines.append("")
    lines.append("Pictures: %s/pictures; the driver's journal: %s; the program's log: %s" % (
        out, os.path.basename(journal), "uninstall.log"))
    lines.append("The whole machine diff: machine-diff%s.txt" % tag)
    report = "\n".join(lines) + "\n"
    with open(os.path.join(out, "report%s.txt" % tag), "w") as file:
        file.write(report)
    return report, dict(out=out, events=events, messages=messages, progress=progress, pages=pages,
                        unexplained=unexplained, unexpected_fate=unexpected_fate,
                        unexpected=unexpected,
                        helper_closed="WM_CLOSE" in helper, restore=restore)


def outlook_things(text):
    things = []
    for line in text.split("\n"):
        fields = line.split("|")
        if fields[0] in ("appointment", "task", "mail", "view", "storage") and len(fields) >= 3:
            things.append((fields[0], fields[1], fields[2]))
    return things


def outlook_changes(out):
    """Each item of the Outlook profile: gone or stayed."""
    before = outlook_things(read_text(os.path.join(out, "outlook-before.txt")))
    after = set(outlook_things(read_text(os.path.join(out, "outlook.txt"))))
    return [(kind, where, name, "stayed" if (kind, where, name) in after else "GONE")
            for kind, where, name in before]


def outlook_as_expected(out, removes):
    """Problems: the product's Outlook data left, or the user's touched."""
    problems = []
    for kind, where, name, fate in outlook_changes(out):
        ours = name.startswith(OUTLOOK_OURS) and kind != "mail"
        if fate == "GONE" and not ours:
            problems.append("the user's %s \"%s\" was deleted" % (kind, name))
        if removes and ours and fate == "stayed":
            problems.append("the product's %s \"%s\" is still in Outlook" % (kind, name))
        if not removes and fate == "GONE" and ours:
            problems.append("%s \"%s\" was deleted" % (kind, name))
    return problems


def addin_time(log_path):
    """Seconds from the log's "UninstallAddIn" line to the next line."""
    ticks = []
    for line in read_text(log_path).split("\n"):
        match = re.match(r"^\s*(-?\d+) (.*)$", line)
        if match:
            ticks.append((int(match.group(1)), match.group(2)))
    for index, (tick, text) in enumerate(ticks):
        if text.startswith("UninstallAddIn") and index + 2 < len(ticks):
            return (ticks[index + 2][0] - tick) / 1000.0
    return None


def scenario_removes(scenario):
    # Outlook gone in the calendar step: the run goes on through the files,
    # registry and shortcuts, so the first run already takes the footprint.
    return scenario in ("outlook_busy", "outlook_started_and_ended", "outlook_gone",
                        "outlook_gone_first", "outlook_busy_beyond_budget",
                        "full_yes", "partial", "file_held_open", "sync_conflict",
                        "windows_vista", "second_run", "quiet_full", "quiet_file_held_open",
                        "cut_short_early", "cut_short_late", "cut_short_outlook_lingers",
                        "code_page_932", "code_page_1252")


# --- Outlook as a process of its own ------------------------------------------

# The exit code by which a scenario tells CTest that it did not run here.
SKIPPED = 77

# Where a 64-bit Outlook lives; the stand-in registers itself from there.
OUTLOOK_WIN = r"C:\Program Files\Microsoft Office\root\Office16\OUTLOOK.EXE"


def outlook_stand_in(build, required=False):
    """The 64-bit OUTLOOK.EXE where the machine uses Outlook as a process of its
    own, else None: where 32-bit code runs under qemu, whose 32-bit threads
    break down in cross-process calls, the in-process build of the same fake
    stands in. ORVALITH_OUTLOOK_STAND_IN (local or inproc) overrides; a
    scenario that is about Outlook as a process (required) always has it."""
    path = os.path.join(build, "outlook64", "OUTLOOK.EXE")
    if required and not os.path.exists(path):
        sys.exit("not built: " + path)
    return path if (required or outlook_as_process_here()) and os.path.exists(path) else None


def outlook_as_process_here():
    """Whether the scenarios talk to Outlook in a process of its own here."""
    mode = os.environ.get("ORVALITH_OUTLOOK_STAND_IN")
    if not mode:
        native = subprocess.run([os.path.join(ROOT, "tools", "wine-mode")], capture_output=True,
                                text=True).stdout.strip() == "native"
        mode = "local" if native else "inproc"
    return mode == "local"


def register_outlook(prefix, exe, folder):
    """Puts OUTLOOK.EXE where a 64-bit Outlook lives and lets it register itself."""
    target = os.path.join(prefix, "drive_c", *OUTLOOK_WIN[3:].split("\\"))
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copy(exe, target)
    errors = os.path.join(folder, "wine-errors-outlook.txt")
    if not wine(prefix, [OUTLOOK_WIN, "/RegServer"], wine_env(prefix), 240, errors):
        report_wine_errors([errors])
        sys.exit("the Outlook stand-in could not register itself")


def outlook_process(out):
    """What the stand-in's journal says of its processes: (started, ended) lines."""
    lines = read_text(os.path.join(out, "outlook.journal")).split("\n")
    started = [line[len("Process.Started "):] for line in lines
               if line.startswith("Process.Started ")]
    ended = [line[len("Process."):] for line in lines
             if line.startswith(("Process.Ended ", "Process.Gone "))]
    return started, ended


def outlook_process_lines(out):
    started, ended = outlook_process(out)
    if not started and not os.path.exists(os.path.join(out, "outlook.journal")):
        return ["OUTLOOK AS A PROCESS: never asked for", ""]
    if not started:
        return ["OUTLOOK AS A PROCESS: none; the fake Outlook ran inside the uninstaller "
                "(in-process build)", ""]
    lines = ["OUTLOOK AS A PROCESS (OUTLOOK.EXE, 64-bit):"]
    lines += ["  started " + text for text in started]
    lines += ["  " + text.replace("Ended", "ended by itself:").replace("Gone", "went away")
              for text in ended]
    if len(ended) < len(started):
        hung = "Outlook.Hang" in read_text(os.path.join(out, "outlook.journal"))
        orphaned = "Process.ClientDied" in read_text(os.path.join(out, "outlook.journal"))
        lines.append("  still running when the run ended, hanging in the call it never answered"
                     if hung else "  still running when the run ended: its client died holding "
                     "it, and COM has not yet let those references go" if orphaned
                     else "  !! still running when the run ended"
                     if any("by COM" in s for s in started)
                     else "  still running when the run ended, as the user's Outlook does")
    return lines + [""]


def check_outlook(scenario, seen):
    """Outlook started by the uninstaller is gone when the run ends, and what
    each Outlook scenario must show."""
    problems = []
    started, ended = outlook_process(seen["out"])
    by_uninstaller = [s for s in started if "Orvalith Uninstall" in s or "by COM" in s]
    if by_uninstaller and scenario != "quiet_outlook_hang" and len(ended) < len(started):
        problems.append("OUTLOOK.EXE started by the uninstaller is still running")
    texts = [" ".join(m["texts"]) for m in seen["messages"]]
    log = read_text(os.path.join(seen["out"], "uninstall.log"))
    local = os.path.exists(os.path.join(seen["out"], "machine", "drive_c",
                                        *OUTLOOK_WIN[3:].split("\\")))
    if scenario == "outlook_started_and_ended" and local:
        if not by_uninstaller:
            problems.append("Outlook was started as a process of its own by the uninstaller")
        if not any(e.startswith("Ended ") and e.endswith("released by the client")
                   for e in ended):
            problems.append("Outlook ended by itself once released by the client")
    elif scenario == "outlook_busy":
        if len(texts) != 1:
            problems.append("the question alone, no other message")
        if "Outlook is busy: Delete rejected" not in log or "Outlook answered Delete" not in log:
            problems.append("the busy Outlook and its answer are logged")
        if len(seen["pages"]) != 1:
            problems.append("the run is complete and the questionnaire opens")
    elif scenario in ("outlook_gone_first", "outlook_busy_beyond_budget"):
        problems += outlook_left_part_way(scenario, seen, texts, run_record(seen, "uninstall.log"))
    elif scenario == "outlook_gone":
        # With Outlook back, the second run removes what the first left: it
        # asks and tells nothing more.
        problems += outlook_as_expected(seen["out"], True)
        if len(texts) != 1 or QUESTION not in texts[0]:
            problems.append("the second run shows the question and no other message")
        if len(seen["pages"]) != 1:
            problems.append("the second run is complete and the questionnaire opens")
        if "event=100" not in seen["restore"] or "event=101" not in seen["restore"]:
            problems.append("the second run's restore point is begun and ended")
    elif scenario == "quiet_outlook_hang":
        limit = SCENARIOS[scenario]["call_limit_ms"] // 1000
        if "Outlook has not answered Restrict within %d seconds" % limit not in log:
            problems.append("the unanswered call is logged by name")
        if "event=100" not in seen["restore"] or "event=101" not in seen["restore"]:
            problems.append("the restore point is begun and ended")
        problems += [p for p in outlook_as_expected(seen["out"], False) if "user's" in p]
    return problems


def outlook_left_part_way(scenario, seen, texts, log):
    """Problems of a run in which Outlook went away (or stayed busy) in the
    calendar step: the calendar and settings rows "Failed!", its one message
    (12 gone, 31 busy), no advice about damaged data (65), message 30 last,
    the restore point ended, and exactly what a second run needs kept."""
    problems = []
    gone = scenario == "outlook_gone_first"
    told = "unexpectedly terminated" if gone else "the operation was aborted"
    rows = seen["progress"][-1]["rows"] if seen["progress"] else []
    expected_rows = [ROWS[i] + "...=black " + ("Failed!" if i in (2, 6) else "Done")
                     for i in range(len(ROWS))]
    if rows != expected_rows:
        problems.append("the calendar and settings rows \"Failed!\", the others \"Done\" "
                        "(seen: %s)" % rows)
    if len([t for t in texts if told in t]) != 1:
        problems.append("message %d once" % (12 if gone else 31))
    if [m["icon"] for m in seen["messages"] if told in " ".join(m["texts"])] != ["error"]:
        problems.append("message %d with its error icon" % (12 if gone else 31))
    if any("#" in t.split("\n")[0] for t in texts):
        problems.append("no type mark in a message's text")
    if any("default Outlook" in t for t in texts):
        problems.append("no message 65")
    if len(texts) != 3 or "Orvalith Uninstall was unsuccessful." not in texts[-1]:
        problems.append("the question, the message and message 30 last")
    if seen["pages"]:
        problems.append("no questionnaire")
    if "event=100" not in seen["restore"] or "event=101" not in seen["restore"]:
        problems.append("the restore point is begun and ended")
    if "are kept, so that the uninstall can be run again" not in log:
        problems.append("the log says what was kept and why")
    footprint = json.load(open(os.path.join(seen["out"], "footprint.json")))
    kept = sorted(name for _, name, _, _ in footprint if kept_for_second_run(name))
    if sorted(seen["unexpected"]) != kept:
        problems.append("only the uninstall entry, the App Paths entries and the two programs "
                        "stay (kept: %s; stayed: %s)" % (kept, seen["unexpected"]))
    if not gone:
        # Bounded: from the first rejection to the step's end the program's
        # own log records at most the 2 minutes and the calls themselves.
        ticks = [(int(m.group(1)), m.group(2)) for m in
                 re.finditer(r"^\s*(-?\d+) (.*)$", log, re.M)]
        first = next((t for t, text in ticks if text.startswith("Outlook is busy")), None)
        spent = next((t for t, text in ticks if text.startswith("Outlook stayed busy")), None)
        if first is None or spent is None or "all it allows" not in log:
            problems.append("the busy Outlook and the spent budget are logged")
        elif not 120000 <= spent - first <= 180000:
            problems.append("the run waits its 2 minutes for a busy Outlook, no more (%d ms)"
                            % (spent - first))
    return problems


# --- the checks of each scenario --------------------------------------------

def run_record(seen, name):
    """A record of the run checked: the first of two runs keeps its records
    under names ending in "-run1"."""
    first = os.path.join(seen["out"], name.replace(".", "-run1.", 1))
    return read_text(first if os.path.exists(first) else os.path.join(seen["out"], name))


HELPER_NAMES = ("@ORVALITHADDINHELPERCLASS@", "@ORVALITHADDINHELPERTITLE@")


def made_product_entries(seen):
    """The keys and values naming the product that the run made; the
    system's list of files to delete at the next restart is the system's."""
    diff = run_record(seen, "machine-diff.txt").split("\n")
    return [line for line in diff if line.startswith("+") and line[14:].startswith(("key ", "value "))
            and ("Orvalith" in line or "Brindlecove" in line)
            and '"PendingFileRenameOperations"=' not in line]


# Why items of the footprint go in a run abandoned part-way: the per-user
# settings at the end of every run; the add-in's entry and manifests once its
# own uninstaller has succeeded.
SETTINGS_GO = ("the product's per-user settings",)
ADDIN_ONLY = ("the add-in's entry", "the add-in's manifest, which")
ADDIN_GOES = SETTINGS_GO + ADDIN_ONLY


def gone_exactly(seen, whys):
    """Problems unless, of the footprint, exactly the items whose reason
    starts with one of whys went, and everything else stayed."""
    footprint = json.load(open(os.path.join(seen["out"], "footprint.json")))
    expected = sorted(name for _, name, _, why in footprint if why.startswith(whys))
    if sorted(seen["unexpected"]) == expected:
        return []
    return ["of the footprint only these go: %s (gone: %s)" % (expected, seen["unexpected"])]


def check(scenario, seen):
    if SCENARIOS[scenario].get("split"):
        return check_split(scenario, seen)
    problems = []
    texts = [" ".join(m["texts"]) for m in seen["messages"]]

    def expect(condition, text):
        if not condition:
            problems.append(text)
    expect(not seen["unexplained"], "something outside the footprint changed")
    if scenario not in ("second_run", "quiet_outlook_hang"):
        expect(not made_product_entries(seen), "no key or value of the product's is made")
    # A second run finds Outlook as the first left it; a sync conflict ends
    # the calendar step part way.
    problems += check_outlook(scenario, seen)
    if scenario not in ("second_run", "sync_conflict", "outlook_gone", "outlook_gone_first",
                        "quiet_outlook_hang", "outlook_busy_beyond_budget"):
        problems += outlook_as_expected(seen["out"], scenario_removes(scenario))
    elif scenario in ("sync_conflict", "outlook_busy_beyond_budget"):
        problems += [p for p in outlook_as_expected(seen["out"], False)
                     if "user's" in p]
    expect(not any(e["event"] in ("gave-up", "problem") for e in seen["events"]),
           "the driver met something unexpected")
    # The program must end by itself, with its own exit code: a crash after
    # the last expected message shows here.
    exits = [e["code"] for e in seen["events"] if e["event"] == "exit"]
    settings = SCENARIOS[scenario]
    expected_code = settings.get("exit", 0)
    expect(exits == [expected_code], "the uninstaller ends by itself with exit code %d (seen: %s)"
           % (expected_code, exits[0] if exits else "it did not end"))
    if "log" in settings:
        log = read_text(os.path.join(seen["out"], "uninstall.log"))
        expect(not any(e["event"] in ("message", "progress", "window") for e in seen["events"]),
               "no window")
        expect(not seen["pages"], "no questionnaire")
        expect("quiet" in log, "the log at " + settings["log"])
        expect(log.rstrip().endswith("Start-up: exit code %d" % expected_code),
               "the exit code logged last")
        expect(("taken as answered Yes: ? " + QUESTION in log) ==
               (scenario not in ("quiet_outlook_running", "quiet_usage_error")),
               "the question logged, taken as Yes")
    question = seen["messages"][0] if seen["messages"] else {}
    if scenario in ("answer_no", "windows_vista", "full_yes", "second_run"):
        # A classic box, a task dialog on Windows 6.0; Wine may read a task
        # dialog's title on past its end.
        kind = "task dialog" if scenario == "windows_vista" else "message box"
        expect(question.get("kind") == kind and question.get("icon") == "question" and
               question.get("buttons") == ["Yes", "No"] and
               question.get("title", "").startswith("Orvalith Uninstall") and
               (kind != "message box" or question.get("title") == "Orvalith Uninstall"),
               "the question is a %s with its title, question icon, Yes and No" % kind)
    if scenario == "answer_no":
        expect(len(texts) == 1 and QUESTION in texts[0], "one question, message 9")
        log = read_text(os.path.join(seen["out"], "uninstall.log"))
        expect("Message answered No: ? Are you sure" in log and
               log.rstrip().endswith("Start-up: exit code 0"), "the answer and the exit logged")
        expect(not seen["progress"], "no progress dialog")
        expect(not seen["pages"], "no questionnaire")
        expect(seen["unexpected_fate"] == 0, "nothing changes")
    elif scenario == "outlook_running":
        expect(len(texts) == 1 and "cannot proceed while Outlook is running" in texts[0],
               "message 16 alone")
        expect(not seen["pages"], "no questionnaire")
        expect(seen["unexpected_fate"] == 0, "nothing changes")
    elif scenario == "windows_vista":
        expect(question and question["texts"] == [QUESTION], "the question is message 9 alone")
    elif scenario == "second_run":
        # Nothing is left: what is gone counts as removed, so the run asks,
        # tells nothing more, ends and leaves the machine as it found it.
        expect(len(texts) == 1 and QUESTION in texts[0], "the question and no other message")
        expect(len(seen["pages"]) == 1, "the run ends and the questionnaire opens")
        problems += machine_differences(
            json.load(open(os.path.join(seen["out"], "machine-after-run1.json"))),
            json.load(open(os.path.join(seen["out"], "machine-after.json"))),
            "the machine the first run left")
    elif scenario == "full_yes":
        expect(texts and QUESTION in texts[0], "the question comes first")
        expect(len(texts) == 1, "no other message")
        expect(len(seen["pages"]) == 1 and seen["pages"][0].endswith("/uninstallq.asp"),
               "the questionnaire opens")
        expect(seen["helper_closed"], "the add-in helper's window is closed")
        expect("event=100" in seen["restore"] and "event=101" in seen["restore"],
               "a restore point is begun and ended")
        # The add-in's unquoted command, split after ".exe", started once.
        started = run_record(seen, "addin.journal").strip().split("\n")
        expect(len(started) == 1 and started[0].partition("\t")[0].lower() ==
               (TOOLS_WIN + "\\fake_addin_uninstaller.exe").lower() and
               started[0].partition("\t")[2].startswith("/entry %s /exit 0 /manifest " %
                                                         ADDIN_ENTRY),
               "the add-in's uninstaller started with its parameters")
        log = run_record(seen, "uninstall.log")
        expect('UninstallAddIn "Orvalith Outlook Add-In"' in log and
               'IninstallAddIn keyName "%s"' % ADDIN_ENTRY in log, "the add-in's removal logged")
        # The helper's window looked for by class and title, found (its handle
        # in decimal and hexadecimal) and, once closed, not found.
        found = re.findall(r"GetCommunicationsWindow (\d+) ([0-9a-f]{8})\r?$", log, re.M)
        expect('GetCommunicationsWindow "%s" "%s"' % HELPER_NAMES in log and
               any(int(d) == int(h, 16) != 0 for d, h in found) and ("0", "00000000") in found,
               "the helper window's search logged")
        expect(seen["progress"] and
               seen["progress"][-1]["title"] == "Orvalith Uninstall Progress", "the title")
        expect(seen["unexpected_fate"] == 0, "the footprint goes, the rest stays")
    elif scenario == "partial":
        expect(not texts, "no question and no message")
        expect(seen["progress"] and seen["progress"][-1]["title"] == "Undoing Orvalith Setup",
               "the title says the setup is undone")
        expect(not seen["restore"], "no restore point")
        expect(not seen["pages"], "no questionnaire")
        expect('partial 1, root folder "%s"' % PROGRAM_WIN in
               read_text(os.path.join(seen["out"], "uninstall.log")), "the command line's reading")
        expect(seen["unexpected_fate"] == 0, "the footprint goes, the rest stays")
    elif scenario == "addin_cancelled":
        expect(any("was cancelled by user" in t for t in texts), "message 63")
        expect(texts and "Orvalith Uninstall was unsuccessful." in texts[-1], "message 30 last")
        expect([m["icon"] for m in seen["messages"][1:]] == ["error", "warning"],
               "message 63 an error, message 30 a warning")
        expect(not seen["pages"], "no questionnaire")
        problems += gone_exactly(seen, SETTINGS_GO)
    elif scenario == "file_held_open":
        # An administrator's run queues the file for the next restart, as
        # installers do: nothing is left for the user to clean up.
        expect(len(texts) == 1 and QUESTION in texts[0], "the question and no other message")
        expect(QUEUED % (PROGRAM_WIN + "\\Orvalith.chm") in
               read_text(os.path.join(seen["out"], "uninstall.log")),
               "the log names the file queued for the restart")
        expect("event=100" in seen["restore"] and "event=101" in seen["restore"],
               "a restore point is begun and ended")
        expect(seen["unexpected_fate"] == 1, "everything but the file held open goes")
        expect(len(seen["pages"]) == 1, "the questionnaire still opens")
    elif scenario == "outlook_cannot_start":
        expect(texts and "Orvalith Uninstall was unsuccessful." in texts[-1], "message 30 last")
        expect(len(texts) == 3 and "unable to communicate with Microsoft Outlook" in texts[1],
               "message 17 before message 30")
        expect(seen["messages"][-1]["icon"] == "warning", "message 30 is a warning")
        # The helper's window closed first; the restore point begun is ended;
        # the dialog is still there, at the calendar step.
        expect(seen["helper_closed"], "the add-in helper's window is closed")
        expect("event=100" in seen["restore"] and "event=101" in seen["restore"],
               "the restore point is begun and ended")
        rows = seen["progress"][-1]["rows"] if seen["progress"] else []
        expect(rows[1:3] == [ROWS[1] + "...=black Done", ROWS[2] + "...=grey"],
               "the add-in row Done, the calendar row grey at the end")
        problems += gone_exactly(seen, ADDIN_GOES)
    elif scenario == "quiet_full":
        expect(QUESTION in log, "the log holds the question")
        expect(all(row + ": Done" in log for row in ROWS), "every step logged with Done")
        expect("event=100" in seen["restore"] and "event=101" in seen["restore"],
               "a restore point is begun and ended")
        expect(seen["helper_closed"], "the add-in helper's window is closed")
        expect(seen["unexpected_fate"] == 0, "the footprint goes, the rest stays")
    elif scenario in ("code_page_932", "code_page_1252"):
        expect(all(row + ": Done" in log for row in ROWS), "every step logged with Done")
        expect("Removed 64 files and 15 folders; not removed: none" in log,
               "every file and folder removed, none taken as gone")
        expect("Removed 10 shortcuts and 2 Start-menu folders" in log, "every shortcut removed")
        expect(seen["unexpected_fate"] == 0, "the footprint goes, the rest stays")
    elif scenario == "quiet_outlook_running":
        expect("cannot proceed while Outlook is running" in log, "message 16 in the log")
        expect(seen["unexpected_fate"] == 0, "nothing changes")
    elif scenario == "quiet_usage_error":
        expect("opens a quote after /Log= that it never closes" in log, "the reason logged")
        expect(seen["unexpected_fate"] == 0, "nothing changes")
    elif scenario == "quiet_addin_cancelled":
        expect("was cancelled by user" in log and
               "taken as answered OK: ! Orvalith Uninstall was unsuccessful." in log,
               "messages 63 and 30 in the log")
        problems += gone_exactly(seen, SETTINGS_GO)
    elif scenario == "quiet_file_held_open":
        expect(QUEUED % (PROGRAM_WIN + "\\Orvalith.chm") in log and
               QUEUED % PROGRAM_WIN in log and "could not be deleted" not in log,
               "the log names the file and its folders queued for the restart")
        expect(seen["unexpected_fate"] == 1, "everything else goes")
        # The restart deletes the file and its folders, and nothing else.
        held = "file %s\\Orvalith.chm (" % PROGRAM_WIN
        expect(sorted(d for d in seen["restart"] if not d.startswith("- " + held)) ==
               sorted(["- folder " + PROGRAM_WIN, "- folder " + PROGRAM_WIN.rsplit("\\", 1)[0]]) and
               any(d.startswith("- " + held) for d in seen["restart"]),
               "the restart deletes the file and its folders alone (changes: %s)" %
               seen["restart"])
    elif scenario == "sync_conflict":
        # The calendar step ends at the conflict: its row fails, and what a
        # second run needs stays, once the user has resolved the conflict.
        expect(any(t.startswith('There was a problem reading task "".') and
                   t.endswith("\nCOMdeleteCalTaskEntries") for t in texts),
               "message 34, its context last")
        rows = seen["progress"][-1]["rows"] if seen["progress"] else []
        expect(rows[2:4] == [ROWS[2] + "...=black Failed!", ROWS[3] + "...=black Done"],
               "the calendar row \"Failed!\", the run goes on")
        expect(texts and "Orvalith Uninstall was unsuccessful." in texts[-1], "message 30 last")
        expect(not seen["pages"], "no questionnaire")
        footprint = json.load(open(os.path.join(seen["out"], "footprint.json")))
        expect(sorted(seen["unexpected"]) ==
               sorted(n for _, n, _, _ in footprint if kept_for_second_run(n)),
               "only what a second run needs stays")
    if scenario in ("windows_vista", "outlook_busy", "outlook_started_and_ended", "outlook_gone"):
        expect(seen["unexpected_fate"] == 0, "the footprint goes, the rest stays")
    elif scenario == "quiet_outlook_hang":
        # Ended in the calendar step, before the per-user settings go.
        problems += gone_exactly(seen, ADDIN_ONLY)
    return problems


# The records that each run of the uninstaller writes under plain names.
RECORDS = ["pages.txt", "uninstall.log", "srclient.journal", "helper.journal", "addin.journal",
           "outlook.journal"]


def run(build, out, scenario):
    """Runs the scenario on a fresh machine: a list of (scenario whose checks
    apply, report, what was seen), one for each run of the uninstaller."""
    settings = SCENARIOS[scenario]
    machine, tools, run_folder = make_machine(build, out, scenario)
    footprint = json.load(open(os.path.join(out, "footprint.json")))
    before = snapshot(machine.prefix)
    results = []
    runs = settings.get("runs", 1)
    for number in range(1, runs + 1):
        last = number == runs
        checked_as = scenario if last else settings["first_run_as"]
        tag = "" if last else "-run%d" % number
        journal, wall = run_once(out, machine, tools, run_folder, settings, number)
        # The machine is read once its Wine server has ended and written
        # the registry out.
        after = snapshot(machine.prefix)
        for name, data in (("before", before), ("after", after)):
            with open(os.path.join(out, "machine-%s%s.json" % (name, tag)), "w") as file:
                json.dump(data, file)
        if number > 1 and settings.get("second_run_completes"):
            # Compared with the machine as it was before the first run: the
            # two runs together must leave what one complete run leaves.
            before = results[0][2]["machine_before"]
        elif number > 1:
            footprint = [(k, n, "same", "left as the first run left it") for k, n, _, _ in
                         footprint]
        report, seen = make_report(out, checked_as, journal, before, after, footprint, wall, tag)
        seen["machine_before"] = before
        seen.update(user=machine.user, after=after)
        if last and settings.get("restart"):
            seen["restart"] = restart_machine(machine, out, after)
        if last and settings.get("logons"):
            seen["logons"] = run_logons(out, machine, tools, settings["logons"])
        results.append((checked_as, report, seen))
        if not last:
            rename_records(out, tag)
        before = after
    return results


# --- Windows of other languages ------------------------------------------------

def run_in_locale(build, out, scenario):
    """run() on a Windows of another language: every Wine process of the
    scenario runs in its locale (Wine takes the code page from it, and needs
    it compiled to read Linux file names in it), the product lives in the
    scenario's folder below the user's, the user's desktop where the scenario
    puts it, and the registry is seeded from a UTF-16 file, since regedit
    reads a REGEDIT4 file in the code page."""
    global PROGRAM_WIN, seeded_prefix
    settings = SCENARIOS[scenario]
    locales = os.path.join(build, "locale")
    if not os.path.isdir(os.path.join(locales, settings["locale"])):
        language, _, charset = settings["locale"].partition(".")
        os.makedirs(locales, exist_ok=True)
        subprocess.run(["localedef", "-i", language, "-f", charset,
                        os.path.join(locales, settings["locale"])], check=True)
    os.environ.update(LANG=settings["locale"], LC_ALL=settings["locale"], LOCPATH=locales)
    user_folder = "C:\\users\\" + user_name(pristine_prefix(build))
    PROGRAM_WIN = user_folder + "\\" + settings["program"] if "program" in settings else PROGRAM_WIN
    shell_folders = ""
    if "desktop" in settings:
        desktop = user_folder + "\\" + settings["desktop"]
        plain_user_folder = MACHINE.user_folder
        MACHINE.user_folder = lambda machine, *parts: \
            desktop if parts == ("Desktop",) else plain_user_folder(machine, *parts)
        shell_folders = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\" \
            "Explorer\\User Shell Folders]\n\"Desktop\"=%s\n" % reg_text(desktop)
    ascii_seeded = seeded_prefix

    def seeded_from_utf16(build, pristine, seed, local_outlook=None):
        text = open(seed, encoding="utf-8").read().replace("REGEDIT4", "Windows Registry Editor "
                                                           "Version 5.00", 1) + shell_folders
        with open(seed, "w", encoding="utf-16", newline="\r\n") as file:
            file.write(text)
        return ascii_seeded(build, pristine, seed, local_outlook)
    seeded_prefix = seeded_from_utf16
    return run(build, out, scenario)


# --- restarts and logons ----------------------------------------------------------

QUEUED = 'Queued for deletion at the next restart: "%s"'


def snapshot_differences(before, after):
    """Every entry of the whole machine that differs, outside Wine's own
    bookkeeping, as "- entry" and "+ entry"."""
    differences = []
    for label in ("registry", "files"):
        a, b = set(before[label]), set(after[label])
        differences += ["- " + e for e in sorted(a - b)] + ["+ " + e for e in sorted(b - a)]
    return [d for d in differences
            if not any(d[2:].split(" ", 1)[1].startswith(n) for n in WINE_NOISE)]


def restart_machine(machine, out, after):
    """Restarts the machine's Windows, which performs the deletions queued for
    the restart as Windows does at boot; answers what changed."""
    say("Restarting the machine (wineboot --restart)...")
    wine(machine.prefix, ["wineboot.exe", "--restart"], wine_env(machine.prefix), 600,
         os.path.join(out, "wine-errors-restart.txt"))
    restarted = snapshot(machine.prefix)
    with open(os.path.join(out, "machine-after-restart.json"), "w") as file:
        json.dump(restarted, file)
    return snapshot_differences(after, restarted)


def run_logons(out, machine, tools, count):
    """Logs the user on count times as Windows does for Active Setup; for each
    logon its journal and the machine before and after."""
    logons = []
    previous = snapshot(machine.prefix)
    for number in range(1, count + 1):
        say("Logon %d of the user (Active Setup)..." % number)
        journal = os.path.join(out, "logon%d.txt" % number)
        env = wine_env(machine.prefix, dict(split_environment(out), ORVALITH_UNINSTALL_LOG=""))
        wine(machine.prefix, [tools["demo_logon.exe"], unix_to_z(journal),
                              "Orvalith Uninstall.exe"], env, 900,
             os.path.join(out, "wine-errors-logon%d.txt" % number))
        current = snapshot(machine.prefix)
        with open(os.path.join(out, "machine-after-logon%d.json" % number), "w") as file:
            json.dump(current, file)
        logons.append(dict(journal=read_text(journal), before=previous, after=current))
        previous = current
    return logons


# --- removal across a company ---------------------------------------------------

ACTIVE_SETUP_GUID = "{5B7D2E91-0C3A-4F6E-9D18-A2C4E6F80B13}"
KEPT_COPY = r"C:\ProgramData\Brindlecove\Orvalith Uninstall\Orvalith Uninstall.exe"


def user_part_item(name, user):
    """Whether a footprint item is the user's (their hive and profile) rather
    than the computer's."""
    return name.startswith("HKEY_CURRENT_USER") or \
        name.lower().startswith(("c:\\users\\%s\\" % user).lower())


def footprint_present(item, machine_state):
    kind, name = item[0], item[1]
    if kind == "file":
        return any(e.startswith("file " + name + " (") for e in machine_state["files"])
    key, _, value = name.rpartition("\\")
    line = "value %s : %s" % (key, "@=" if value == "(default)" else '"%s"=' % value)
    return any(e.startswith(line) for e in machine_state["registry"])


def split_gone(seen, machine_state, parts, what, held=None):
    """Problems unless exactly the footprint items that go, of the parts
    named, are gone from machine_state; a file held open waits for the
    restart."""
    footprint = json.load(open(os.path.join(seen["out"], "footprint.json")))
    expected = sorted(item[1] for item in footprint if item[2] == "gone" and item[1] != held and
                      ("user" if user_part_item(item[1], seen["user"]) else "machine") in parts)
    gone = sorted(item[1] for item in footprint if not footprint_present(item, machine_state))
    return [] if gone == expected else \
        ["%s: of the footprint exactly the %s part goes (expected gone but present: %s; gone but "
         "expected to stay: %s)" % (what, " and ".join(parts), sorted(set(expected) - set(gone)),
                                    sorted(set(gone) - set(expected)))]


def active_setup(machine_state, hive):
    """The values of the product's Active Setup entry in that hive."""
    return [e for e in machine_state["registry"] if e.startswith("value " + hive) and
            ACTIVE_SETUP_GUID in e]


def user_part_logs(seen):
    """The quiet logs of the user's parts, found where their temporary folder is."""
    found = []
    users = os.path.join(seen["out"], "machine", "drive_c", "users", seen["user"])
    for folder, _, names in os.walk(users):
        found += [read_text(os.path.join(folder, n)) for n in names if n == "Orvalith Uninstall.log"]
    return "\n".join(found)


def check_split(scenario, seen):
    settings = SCENARIOS[scenario]
    problems = []

    def expect(condition, text):
        if not condition:
            problems.append(text)
    exits = [e["code"] for e in seen["events"] if e["event"] == "exit"]
    expect(exits == [settings["exit"]], "the uninstaller ends by itself with exit code %d (seen: "
           "%s)" % (settings["exit"], exits[0] if exits else "it did not end"))
    expect(not any(e["event"] in ("message", "progress", "window") for e in seen["events"]),
           "no window")
    expect(not seen["pages"], "no questionnaire")
    expect(not any(e["event"] in ("gave-up", "problem") for e in seen["events"]),
           "the driver met something unexpected")
    # Only the Active Setup entry (and the keys above it) is made beside the
    # footprint's own entries.
    unexplained = [c for c in seen["unexplained"] if "\\Active Setup" not in c[2]]
    expect(not unexplained, "something outside the footprint changed: %s" % unexplained[:5])
    log = read_text(os.path.join(seen["out"], "uninstall.log"))
    user_log = user_part_logs(seen)
    after = seen["after"]
    machine_entry = active_setup(after, "HKEY_LOCAL_MACHINE")
    user_entry = active_setup(after, "HKEY_CURRENT_USER")
    kept = any(e.startswith("file %s (" % KEPT_COPY) for e in after["files"])
    if settings["split"] == "user":
        problems += split_gone(seen, after, ["user"], "the run")
        expect("quiet, this user's part" in log and log.rstrip().endswith("Start-up: exit code 0"),
               "the user's part logged, exit code 0")
        expect("Administrator access" not in log, "no administrator asked")
        expect(not machine_entry and not user_entry and not kept,
               "no Active Setup entry, no kept copy")
        problems += outlook_as_expected(seen["out"], True)
        return problems
    expect("quiet, for all users" in log and
           log.rstrip().endswith("Start-up: exit code %d" % settings["exit"]),
           "the computer's part logged, exit code %d" % settings["exit"])
    expect(kept, "the kept copy at " + KEPT_COPY)
    expect(any('"StubPath"=' in e and "Orvalith Uninstall.exe" in e and "/Logon" in e
               for e in machine_entry) and
           any('"Version"="1,0,0,0"' in e for e in machine_entry) and
           any('"IsInstalled"=dword:00000001' in e for e in machine_entry),
           "the Active Setup entry: StubPath, Version, IsInstalled")
    expect("event=100" in seen["restore"] and "event=101" in seen["restore"],
           "a restore point is begun and ended")
    if settings["split"] == "both":
        problems += split_gone(seen, after, ["machine", "user"], "the run")
        expect("the user's part is done" in log, "the hand-over logged as done")
        expect("quiet, this user's part" in user_log and "this user's part is done" in user_log,
               "the user's own log says the part is done")
        expect(any('"Version"="1,0,0,0"' in e for e in user_entry),
               "the user is marked done for Active Setup")
        problems += outlook_as_expected(seen["out"], True)
        return problems
    # Outlook runs in the user's session: the user's part waits for a logon.
    problems += split_gone(seen, after, ["machine"], "the run", settings["held"])
    expect(QUEUED % settings["held"] in log, "the held file queued for the restart")
    expect("Outlook is running; the user's part runs at the user's next logon" in log,
           "the user's part left for the next logon, logged")
    expect(not any('"Version"=' in e for e in user_entry), "the user is not marked done")
    first, second = seen["logons"]
    expect(("ran\t%s\t" % ACTIVE_SETUP_GUID) in first["journal"] and
           first["journal"].rstrip().endswith("\t0"),
           "the first logon runs the StubPath, which returns 0 at once (%s)" % first["journal"])
    if "left running" in first["journal"]:
        # Where the user's part was when the logon stopped waiting for it.
        tail = lambda text: " | ".join(text.strip().splitlines()[-6:])
        frozen = "\nfrozen\t" in first["journal"]
        problems.append("the user's part ends within the logon's 10 minutes (%s; its log ends: "
                        "%s; the add-in's uninstaller's journal ends: %s)%s" %
                        (first["journal"].strip().replace("\n", " | "), tail(user_part_logs(seen)),
                         tail(read_text(os.path.join(seen["out"], "addin.journal"))),
                         "; its process ran no new thread within 30 s: Wine had stopped "
                         "running it" if frozen else ""))
    # The logon's Wine session starts as Windows boots, deleting what was
    # queued for the restart: the helper's file too.
    problems += split_gone(seen, first["after"], ["machine", "user"], "after the logon")
    expect(any('"Version"="1,0,0,0"' in e for e in active_setup(first["after"],
                                                                  "HKEY_CURRENT_USER")),
           "the user is marked done after the logon")
    problems += outlook_as_expected(seen["out"], True)
    expect(ACTIVE_SETUP_GUID not in second["journal"], "the second logon runs nothing of ours")
    changed = snapshot_differences(second["before"], second["after"])
    expect(not changed, "the second logon changes nothing: %s" % changed[:5])
    return problems


# --- cut short, then run again ------------------------------------------------

# Where a run is cut short: what the driver watches for (cut_condition),
# the stage the run leaves stored, and the check of what the cut left.
ADDIN_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + \
    ADDIN_ENTRY
APP_PATHS_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\App Paths" \
    r"\Orvalith.exe"
STAGE_ENTRY = 'value HKEY_CURRENT_USER\\Software\\Brindlecove\\Orvalith\\1.0 : "uStage"=dword:%08x'
# The last of the current add-in's files: 35 of the step's 68 files.
CUT_FILE = r"Orvalith Add-In\Application Files\Orvalith Outlook Add-In_5_0_72_0\Resources" \
    r"\OpenTaskFolder.png.deploy"
CUT_POINTS = {
    "addin": dict(about="during the add-in's uninstall", stage=3),
    "calendar": dict(about="halfway through the calendar entries", stage=16),
    "files": dict(about="halfway through the program files", stage=16),
    "registry": dict(about="right after the registry step", stage=16),
}


def cut_condition(point, out):
    """The driver's conditions for the cut (demo_driver.cpp, --arm and
    --cut). Once armed, the uninstaller runs in slices and the cut falls
    within a few calls of its condition. In the calendar step the fake
    Outlook itself holds the third of the four deletions (CALENDAR_HOLD)
    and the cut falls while it waits: exact, with the deletions before it
    saved, and with no slices, whose stream of thread suspensions Wine
    under qemu now and then cannot read."""
    record = lambda name: unix_to_z(os.path.join(out, name))
    log = "lines|%s|%%s|1" % record("uninstall.log")
    return {"addin": ("", "lines|%s|fake_addin_uninstaller|1" % record("addin.journal")),
            "calendar": ("", "lines|%s|Outlook.Hang|1" % record("outlook.journal")),
            "files": (log % "Step started: Removing program files",
                      "gone|%s\\%s" % (PROGRAM_WIN, CUT_FILE)),
            "registry": ("", log % "registry keys and")}[point]


# The rule that makes the fake Outlook hold the third deletion until the
# run is cut; its data file, saved at each deletion, no longer holds it for
# the second run.
CALENDAR_HOLD = "hang|Delete|2\n"


def cut_left(point, out, machine, snap):
    """Problems: the cut did not land where it should have."""
    registry = set(snap["registry"])
    problems = []
    if STAGE_ENTRY % CUT_POINTS[point]["stage"] not in registry:
        problems.append("the cut run left stage %d stored" % CUT_POINTS[point]["stage"])
    files_left = [name for name in PROGRAM_FILES + GENERATION_FILES
                  if os.path.exists(machine.unix(PROGRAM_WIN + "\\" + name))]
    ours = [t for t in outlook_things(read_text(os.path.join(out, "outlook.txt")))
            if t[0] == "appointment" and t[2].startswith("Orvalith:")]
    if point == "addin":
        if "key " + ADDIN_KEY in registry:
            problems.append("the add-in's uninstaller, let go after the cut, removed its entry")
        if len(ours) != 4:
            problems.append("no calendar entry was deleted before the cut")
    elif point == "calendar" and not 0 < len(ours) < 4:
        problems.append("the cut fell inside the calendar step (%d of 4 entries left)" % len(ours))
    elif point == "files" and not 0 < len(files_left) < len(PROGRAM_FILES + GENERATION_FILES):
        problems.append("the cut fell inside the file step (%d files left)" % len(files_left))
    elif point == "registry":
        shortcuts = [e for e in snap["files"] if ".lnk (" in e and "Orvalith" in e]
        if "key " + APP_PATHS_KEY in registry or files_left or len(shortcuts) != 10:
            problems.append("the cut fell between the registry and the shortcut steps")
    return problems


def run_cut_short(build, out, scenario):
    """A complete run on one machine, then on a fresh machine for each cut
    point a run cut short there and a second run: a list of (report, what
    was seen, problems), the complete run's first."""
    settings = SCENARIOS[scenario]
    if os.path.exists(out):
        for name in os.listdir(out):
            stop_wine(os.path.join(out, name, "machine"))
        shutil.rmtree(out)
    results = []
    reference = None
    for point in ["complete"] + settings["cut_points"]:
        point_out = os.path.join(out, point)
        machine, tools, run_folder = make_machine(build, point_out, scenario)
        footprint = json.load(open(os.path.join(point_out, "footprint.json")))
        before = snapshot(machine.prefix)
        problems = []
        wall = 0.0
        if point != "complete":
            arm, condition = cut_condition(point, point_out)
            if point == "calendar":
                with open(os.path.join(point_out, "outlook.txt"), "a") as file:
                    file.write(CALENDAR_HOLD)
            cut = dict(settings, arm=arm, cut=condition, hold_started=point == "addin")
            say("Cutting the run short %s..." % CUT_POINTS[point]["about"])
            journal, wall = run_once(point_out, machine, tools, run_folder, cut, 1)
            events = read_journal(journal)
            cut_snap = snapshot(machine.prefix)
            shutil.copy(os.path.join(point_out, "outlook.txt"),
                        os.path.join(point_out, "outlook-cut.txt"))
            with open(os.path.join(point_out, "machine-cut.json"), "w") as file:
                json.dump(cut_snap, file)
            if not any(e["event"] == "cut" and e.get("ended") for e in events) or \
                    any(e["event"] == "exit" for e in events):
                problems.append("the run was not cut short " + CUT_POINTS[point]["about"])
            if any(e["event"] == "children ended" and e["still running"] for e in events):
                problems.append("the programs the cut run started ended")
            problems += cut_left(point, point_out, machine, cut_snap)
            rename_records(point_out, "-run1")
        journal, more = run_once(point_out, machine, tools, run_folder, settings,
                                 1 if point == "complete" else 2)
        after = snapshot(machine.prefix)
        for name, data in (("before", before), ("after", after)):
            with open(os.path.join(point_out, "machine-%s.json" % name), "w") as file:
                json.dump(data, file)
        report, seen = make_report(point_out, scenario, journal, before, after, footprint,
                                   wall + more)
        problems += rerun_problems(seen)
        if reference is None:
            reference = after
        else:
            problems += machine_differences(reference, after, "the machine after a complete run")
        results.append((report, seen, ["%s: %s" % (point, p) for p in problems]))
    return results


def rerun_problems(seen):
    """Problems of a run that should remove everything, the user answering
    the question alone."""
    problems = []
    texts = [" ".join(m["texts"]) for m in seen["messages"]]
    exits = [e["code"] for e in seen["events"] if e["event"] == "exit"]
    checks = [(len(texts) == 1 and QUESTION in texts[0], "the question and no other message"),
              (exits == [0], "the uninstaller ends by itself with exit code 0 (seen: %s)" % exits),
              (len(seen["pages"]) == 1, "the questionnaire opens"),
              ("event=100" in seen["restore"] and "event=101" in seen["restore"],
               "a restore point is begun and ended"),
              (seen["unexpected_fate"] == 0, "the footprint goes, the rest stays"),
              (not seen["unexplained"], "nothing outside the footprint changes")]
    problems = [text for ok, text in checks if not ok]
    return problems + outlook_as_expected(seen["out"], True)


# --- Outlook left running by a run cut short ---------------------------------

def live_snapshot(machine, session, out, name):
    """The whole machine while the session's Wine server runs: its files, and
    its registry as the server holds it (written to the prefix's files only
    when the server ends), exported by regedit, in registry_entries' form."""
    path = os.path.join(out, name + ".reg")
    errors = os.path.join(out, "wine-errors-%s.txt" % name)
    env = wine_env(machine.prefix, {"ORVALITH_WINE_SESSION": session})
    if not wine(machine.prefix, ["regedit.exe", "/E", unix_to_z(path)], env, 300, errors):
        report_wine_errors([errors])
        raise OSError("regedit could not export the registry of the running machine")
    def key_of(header):
        # The user's hive is exported under the user's SID; the other roots
        # show these two again.
        key = re.sub(r"^HKEY_USERS\\S-1-5-21-[\d-]+", "HKEY_CURRENT_USER", header)
        return key if key.split("\\", 1)[0] in ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER") \
            else None
    text = open(path, "rb").read().decode("utf-16")
    return {"registry": sorted(registry_text_entries(text.splitlines(), key_of)),
            "files": sorted(file_entries(machine.prefix))}


def outlook_ended(out, pid, limit):
    """Waits for the OUTLOOK.EXE of that process id to end (its journal's
    "Process.Ended" line), at most limit seconds: that line, or None."""
    waited = 0.0
    while True:
        ended = [e for e in outlook_process(out)[1] if e.startswith("Ended %s " % pid)]
        if ended or waited >= limit:
            return ended[0] if ended else None
        time.sleep(0.5)
        waited += 0.5


def run_outlook_lingers(build, out, scenario):
    """On one machine, in one Wine session: a run cut short right after the
    registry step, holding OUTLOOK.EXE; a run straight after it, which meets
    that Outlook still running; then, once COM has let the dead client's
    references go and that Outlook has ended by itself, a third run. A list
    of (report, what was seen, problems), one for each run."""
    settings = SCENARIOS[scenario]
    machine, tools, run_folder = make_machine(build, out, scenario)
    footprint = json.load(open(os.path.join(out, "footprint.json")))
    before = snapshot(machine.prefix)
    session = os.path.join(out, "session")
    results = []
    say("Starting one Wine server and display for the first two runs...")
    subprocess.run([os.path.join(ROOT, "tools", "wine-session"), "start", machine.prefix, session],
                   stdout=subprocess.DEVNULL, check=True)
    try:
        live_before = live_snapshot(machine, session, out, "registry-before")
        arm, condition = cut_condition("registry", out)
        say("Cutting the run short %s, Outlook held..." % CUT_POINTS["registry"]["about"])
        journal, wall = run_once(out, machine, tools, run_folder,
                                 dict(settings, arm=arm, cut=condition, session=session), 1)
        events = read_journal(journal)
        cut = live_snapshot(machine, session, out, "registry-cut")
        problems = cut_left("registry", out, machine, cut)
        if not any(e["event"] == "cut" and e.get("ended") for e in events) or \
                any(e["event"] == "exit" for e in events):
            problems.append("the run was not cut short " + CUT_POINTS["registry"]["about"])
        started = [s for s in outlook_process(out)[0] if "by COM for Orvalith Uninstall" in s]
        if len(started) != 1:
            problems.append("the cut run had COM start OUTLOOK.EXE once (seen: %s)" % started)
        # Where the cut falls within a step is not judged item by item.
        report, seen = make_report(out, scenario, journal, live_before, cut,
                                   [(k, n, None, w) for k, n, _, w in footprint], wall, "-run1")
        if seen["unexplained"]:
            problems.append("nothing outside the footprint changes")
        results.append((report, seen, ["run 1: " + p for p in problems]))
        rename_records(out, "-run1", keep=["outlook.journal"])

        # Straight after: COM still holds the dead client's references.
        journal, wall = run_once(out, machine, tools, run_folder,
                                 dict(settings, answers="", session=session), 2)
        after_second = live_snapshot(machine, session, out, "registry-run2")
        report, seen = make_report(out, scenario, journal, cut, after_second,
                                   [(k, n, "same", "left as the cut run left it")
                                    for k, n, _, _ in footprint], wall, "-run2")
        texts = [" ".join(m["texts"]) for m in seen["messages"]]
        exits = [e["code"] for e in seen["events"] if e["event"] == "exit"]
        pid = started[0].split(" ", 1)[0] if started else "?"
        checks = [(len(texts) == 1 and "cannot proceed while Outlook is running" in texts[0],
                   "message 16 alone (seen: %s)" % texts),
                  (exits == [0], "the uninstaller ends by itself with exit code 0 (seen: %s)"
                   % exits),
                  (not seen["progress"] and not seen["pages"], "no progress, no questionnaire"),
                  (not seen["restore"], "no restore point is begun"),
                  (seen["unexpected_fate"] == 0 and not seen["unexplained"], "nothing changes"),
                  (not outlook_process(out)[1] and len(outlook_process(out)[0]) == 1,
                   "the cut run's Outlook, and no other, still runs")]
        results.append((report, seen, ["run 2: " + t for ok, t in checks if not ok]))
        rename_records(out, "-run2", keep=["outlook.journal"])

        say("COM lets the dead client's references go; waiting for that Outlook to end...")
        open(os.path.join(out, COLLECTED), "w").close()
        ended = outlook_ended(out, pid, 300)
    finally:
        subprocess.run([os.path.join(ROOT, "tools", "wine-session"), "stop", machine.prefix,
                        session], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    problems = [] if ended and ended.endswith("because the client died") else \
        ["the cut run's Outlook ended by itself once its dead client was let go (seen: %s)"
         % ended]

    journal, wall = run_once(out, machine, tools, run_folder, settings, 3)
    after = snapshot(machine.prefix)
    with open(os.path.join(out, "machine-after.json"), "w") as file:
        json.dump(after, file)
    report, seen = make_report(out, scenario, journal, before, after, footprint, wall)
    problems += rerun_problems(seen)
    started, ended = outlook_process(out)
    if len(started) != 2 or "by COM for Orvalith Uninstall" not in started[-1] or \
            not any(e == "Ended %s released by the client" % started[-1].split(" ", 1)[0]
                    for e in ended):
        problems.append("the third run had COM start Outlook, which ended once released by "
                        "the client (seen: started %s, ended %s)" % (started, ended))
    results.append((report, seen, ["run 3: " + p for p in problems]))
    return results


def rename_records(out, tag, keep=()):
    """Keeps a run's records under names ending in tag."""
    for name in RECORDS:
        path = os.path.join(out, name)
        if name not in keep and os.path.exists(path):
            os.rename(path, path.replace(".", tag + ".", 1))


def machine_differences(expected, actual, what):
    """Problems: every entry of the whole machine, outside Wine's own
    bookkeeping, in which actual differs from expected."""
    differences = []
    for label in ("registry", "files"):
        a, b = set(expected[label]), set(actual[label])
        differences += ["- " + e for e in sorted(a - b)] + ["+ " + e for e in sorted(b - a)]
    differences = [d for d in differences
                   if not any(d[2:].split(" ", 1)[1].startswith(n) for n in WINE_NOISE)]
    return ["differs from %s: %s" % (what, d) for d in differences[:20]] + \
        (["... and %d more differences" % (len(differences) - 20)] if len(differences) > 20 else [])


# Wine's own breakdowns: under qemu a Wine process now and then gets a signal
# that Wine cannot read, and crashes or stalls.
def report_wine_errors(paths):
    """Prints Wine's own error lines of the runs, and the Linux loader's
    fatal ones (a Wine process under qemu-i386 now and then dies in it), so
    that a failure shows whether Wine itself broke down."""
    for path in paths:
        lines = [line for line in read_text(path).split("\n")
                 if ":err:" in line or "Inconsistency detected by ld.so" in line]
        if lines:
            say("Wine's error lines in %s (%d):" % (path, len(lines)))
            for line in lines[:40]:
                say("  " + line)


def report_program_logs(out, count=12):
    """Prints the last lines of every log the program wrote in out's runs,
    so that a failure shows where each run was when it ended or stopped."""
    for folder, dirs, names in os.walk(out):
        dirs[:] = sorted(d for d in dirs if d != "machine" and not d.startswith("pictures"))
        for name in sorted(n for n in names if n == "uninstall.log"):
            path = os.path.join(folder, name)
            lines = [line for line in read_text(path).splitlines() if line.strip()]
            say("The last lines of %s (%d in all):" % (path, len(lines)))
            for line in lines[-count:]:
                say("  " + line)


def wine_error_files(out):
    """Wine's error records of every run in out, the machines left out."""
    found = []
    for folder, dirs, names in os.walk(out):
        dirs[:] = [d for d in dirs if d != "machine" and not d.startswith("pictures")]
        found += [os.path.join(folder, n) for n in names if n.startswith("wine-errors")]
    return sorted(found)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["run", "scenario"])
    parser.add_argument("name", nargs="?")
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--scenario", default="full_yes", choices=sorted(SCENARIOS))
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    out = os.path.abspath(options.out)
    if options.command == "run":
        if "cut_points" in SCENARIOS[options.scenario]:
            for report, _, problems in run_cut_short(build, out, options.scenario):
                print(report + "".join("!! %s\n" % problem for problem in problems))
            return 0
        if SCENARIOS[options.scenario].get("lingers"):
            for report, _, problems in run_outlook_lingers(build, out, options.scenario):
                print(report + "".join("!! %s\n" % problem for problem in problems))
            return 0
        runner = run_in_locale if "locale" in SCENARIOS[options.scenario] else run
        for _, report, _ in runner(build, out, options.scenario):
            print(report)
        return 0
    if options.name not in SCENARIOS:
        parser.error("scenarios: " + ", ".join(sorted(SCENARIOS)))
    if SCENARIOS[options.name].get("outlook_process") and not outlook_as_process_here():
        # Tried here: about half the runs stalled in a cross-process call or
        # trapped, which would make the test say nothing of the program.
        print("SKIPPED: this scenario needs Outlook as a process of its own, and 32-bit code "
              "runs under qemu-i386 here, where a 32-bit program's calls to another process "
              "now and then stall or trap in Wine's COM; ORVALITH_OUTLOOK_STAND_IN=local runs "
              "it all the same.")
        return SKIPPED
    problems = []
    results = []
    # A check that meets missing data (no message shown, no record written)
    # is a failure like any other, followed by Wine's error lines.
    try:
        if "cut_points" in SCENARIOS[options.name]:
            for report, _, found in run_cut_short(build, out, options.name):
                print(report)
                problems += found
        elif SCENARIOS[options.name].get("lingers"):
            for report, _, found in run_outlook_lingers(build, out, options.name):
                print(report)
                problems += found
        elif "locale" in SCENARIOS[options.name]:
            results = run_in_locale(build, out, options.name)
        else:
            results = run(build, out, options.name)
    except (LookupError, ValueError, TypeError, OSError) as error:
        problems.append("the records are incomplete: %s: %s" % (type(error).__name__, error))
    for number, (checked_as, report, seen) in enumerate(results, 1):
        print(report)
        where = "" if number == len(results) else "run %d: " % number
        try:
            found = check(checked_as, seen)
        except (LookupError, ValueError, TypeError, OSError) as error:
            found = ["a record is incomplete: %s: %s" % (type(error).__name__, error)]
        problems += [where + problem for problem in found]
    for problem in problems:
        print("FAILED: " + problem)
    if problems:
        report_program_logs(out)
        report_wine_errors(wine_error_files(out))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
