// A fake Outlook for the tests: a real COM server for Outlook's Application
// class whose objects answer IUnknown, IDispatch and their own Outlook
// interface, with members called by name. Its profile (stores, folders,
// items, views, storage items) and fault rules come from a small text; see
// README.md beside this file for the format.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fake_outlook {

// A member of one of Outlook's interfaces, as its type information numbers it.
struct MEMBER_ID {
    std::wstring name;
    DISPID id;
    bool property;
};
std::vector<MEMBER_ID> Members(const IID& iid);

// Replaces the profile and the fault rules; clears the journal.
void Load(const std::string& text);
// Adds rules or data to what is loaded.
void Add(const std::string& text);
// What is left of the profile, in the same format (faults left out).
std::string Dump();

// Makes CoCreateInstance of Outlook's class find the fake in this process.
void Register();
void Revoke();
// Registers (or revokes) an Application object as the running one.
void SetRunning(bool running);

// Objects handed out and not yet released.
long LiveObjects();
// One line per call: "Label.Member", in order.
const std::vector<std::string>& Journal();
void ClearJournal();
// How often a member was called since the last Load or ClearJournal.
int Calls(const std::string& member);
// Time spent inside the fake's Invoke, for the benchmark.
double InvokeMicroseconds();
// Where the fake is a process of its own: lastReleased is called when no
// client holds any of its objects any more, endProcess where a "gone" rule
// ends Outlook.
void ServeAsProcess(void (*lastReleased)(), void (*endProcess)());
// Loads the profile from dataFile, writing it back there after every change,
// and appends the journal to journalFile.
void LoadForMachine(const std::string& dataFile, const std::string& journalFile);
// LoadForMachine with the files the environment names (ORVALITH_FAKE_OUTLOOK_DATA,
// ORVALITH_FAKE_OUTLOOK_JOURNAL); without a data file, "fake_outlook.txt"
// beside module.
void LoadForMachineFromEnvironment(HMODULE module);
// Writes what is left of the profile to the data file, written back or not.
void WriteBack();
// A journal line "Process.what".
void RecordProcess(const std::string& what);
HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out);
// While a "busy" rule holds: the answer for the next incoming call (its
// HRESULT), counted as one call of the busy spell; S_OK otherwise. For a
// server's message filter, which rejects calls before they reach Invoke.
HRESULT BusyAnswer();
// Lets a call held by a "hang" rule go on (from another thread).
void EndHang();

} // namespace fake_outlook
