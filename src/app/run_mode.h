// Who a run is for: decided once at start-up from the command line and the
// account, and handed to every step that behaves differently.
#pragma once

enum RUN_KIND {
    RUN_PERSON,       // someone at the screen: windows, the question, exit code 0
    RUN_QUIET,        // "/Quiet": no window, the outcome in the exit code
    RUN_MACHINE_PART, // LocalSystem or "/AllUsers": the computer's part; each user's as that user
    RUN_USER_PART,    // "/User": the part of the user who runs it, never the computer's
};

struct RUN_MODE {
    RUN_KIND kind = RUN_PERSON;
    bool partial = false; // "/PartialOK": the product's setup undoes itself
    // Not known to lack administrator rights: the run for all users may
    // start, and a file in use may be queued for deletion at the next
    // restart, which only an administrator may ask for.
    bool administrator = false;

    // Nobody watches: no window, no question, the outcome in the exit code.
    bool Quiet() const { return kind != RUN_PERSON; }
    // The program files, the all-users shortcuts and the computer's registry
    // entries.
    bool MachinePart() const { return kind != RUN_USER_PART; }
    // The add-in, Outlook's data, the user's registry entries and shortcuts.
    bool UserPart() const { return kind != RUN_MACHINE_PART; }
};
