#pragma once
// Document bodies and details: loading and saving a body (in Req_objects or as a file in the
// shared documents folder), the document's topic and owner.

namespace vt::app {
class Session;
}

namespace vt::app::data::documents {
} // namespace vt::app::data::documents
