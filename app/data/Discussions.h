#pragma once
// Discussions: the message tree of a document, posting and replying, and each member's read
// state of each message (msg_state).

namespace vt::app {
class Session;
}

namespace vt::app::data::discussions {
} // namespace vt::app::data::discussions
