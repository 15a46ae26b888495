#pragma once
// Attachments of a document: web links and file paths, added, listed and deleted.

namespace vt::app {
class Session;
}

namespace vt::app::data::attachments {
}  // namespace vt::app::data::attachments
