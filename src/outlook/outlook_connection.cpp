#include "outlook/outlook_connection.h"

bool IsOutlookRunning() {
    // Outlook automation is not in this build yet; nothing can be found.
    return false;
}
