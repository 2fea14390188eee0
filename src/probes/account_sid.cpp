#include "probes/account_sid.h"

namespace varneth {

Text GetAccountSidText(TextRef) { return Text(); }

}  // namespace varneth
