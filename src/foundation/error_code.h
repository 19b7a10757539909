// The product's own error values. Work that must stop throws one of these by
// value; the uninstall sequence is the one place that catches them.
#pragma once

enum ERROR_CODE : int {
    ERR_NONE = 0,
    ERR_FATAL = 13,      // a step failed in a way that ends the run
    ERR_USER_ABORT = 23, // the user has already been told why the work stops
};
