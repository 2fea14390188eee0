// The stores a scan reads for the user a run would clean and for the machine.
#pragma once

#include "probes/key_owner.h"
#include "scan/association_scan.h"

namespace varneth {

// The owner's Explorer records, classes and App Paths, and the machine's
// classes and App Paths, each opened for reading without following a
// registry link (the user's Software\Classes, the platform's own link to
// their classes hive, is taken as a run takes it). The owner's classes are
// HKEY_CURRENT_USER\Software\Classes for the process's user, else their
// hive HKEY_USERS\<SID>_Classes. A store that is missing stays empty.
ScanStores OpenScanStores(const KeyOwner& owner);

}  // namespace varneth
