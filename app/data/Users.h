#pragma once
// User accounts: the administration's list, creating and editing accounts, setting passwords
// and deleting accounts (the master account ADMIN stays).

namespace vt::app {
class Session;
}

namespace vt::app::data::users {
} // namespace vt::app::data::users
