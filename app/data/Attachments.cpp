#include "data/Attachments.h"

namespace vt::app::data::attachments {
}  // namespace vt::app::data::attachments
