#include "cleanup/cleanup_plan.h"

namespace varneth {

void CleanExtension(TextRef, TextRef, TextRef) {}

}  // namespace varneth
