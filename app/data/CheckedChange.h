#pragma once
// Changes whose answer may be lost with the connection. When the connection dies after a
// change was sent, the access layer cannot tell whether the server stored it
// (FailureKind::OutcomeUnknown). A change that finds its own row again by a key or by a token
// it wrote is checked after the connection is back: found, it is done; not found, it runs once
// more. Nothing is ever stored twice.

#include <QtGlobal>

#include <functional>
#include <optional>

namespace vt::app::data {

// Runs insert (which returns the new row's id). When its outcome is unknown, find (a read by
// the values and token the insert wrote) gives the stored row's id, or none when the row did
// not arrive, and then the insert runs once more. A find that fails itself, or a second lost
// answer whose row is not found either, raises the loss.
qint32 insertChecked(const std::function<qint32()>& insert, const std::function<std::optional<qint32>()>& find);

// The same for a change without an id: stored tells whether it arrived.
void changeChecked(const std::function<void()>& change, const std::function<bool()>& stored);

}  // namespace vt::app::data
