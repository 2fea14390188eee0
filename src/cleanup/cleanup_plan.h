// The fixed plan that removes what Windows keeps about one extension.
#pragma once

#include "runtime/text.h"

namespace varneth {

// Removes the user's Explorer record of the extension, the machine-wide
// classes it lists, the user's own extension and _auto_file classes and the
// RecentDocs entry, then tells the shell that associations changed. Reports
// nothing: whatever is missing or protected simply stays.
void CleanExtension(TextRef extension, TextRef sidText, TextRef accountName);

}  // namespace varneth
