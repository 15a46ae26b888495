#include "data/Discussions.h"

namespace vt::app::data::discussions {
} // namespace vt::app::data::discussions
