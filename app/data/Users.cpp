#include "data/Users.h"

namespace vt::app::data::users {
} // namespace vt::app::data::users
