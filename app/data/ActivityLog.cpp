#include "data/ActivityLog.h"

namespace vt::app::data::activitylog {
} // namespace vt::app::data::activitylog
