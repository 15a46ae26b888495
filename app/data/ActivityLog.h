#pragma once
// The activity log and notifications: a row per document save and per member notified of a
// post, the unread messages of the user and the latest changes in the user's projects.

namespace vt::app {
class Session;
}

namespace vt::app::data::activitylog {
} // namespace vt::app::data::activitylog
