#include "data/Documents.h"

namespace vt::app::data::documents {
} // namespace vt::app::data::documents
