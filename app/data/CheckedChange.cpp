#include "data/CheckedChange.h"

#include "db/DbErrors.h"

namespace vt::app::data {

qint32 insertChecked(const std::function<qint32()>& insert, const std::function<std::optional<qint32>()>& find)
{
    constexpr int kAttempts = 2;
    for (int attempt = 1;; ++attempt) {
        try {
            return insert();
        } catch (const EmySQLDatabaseError& lost) {
            if (lost.Kind() != FailureKind::OutcomeUnknown) throw;
            std::optional<qint32> found;
            try {
                // Runs on a new connection: the next ready server, or the same one again.
                found = find();
            } catch (const EDbError&) {
                // Still no answer: what the user must hear is that the change may be stored.
                throw lost;
            }
            if (found) return *found;
            if (attempt == kAttempts) throw;
        }
    }
}

void changeChecked(const std::function<void()>& change, const std::function<bool()>& stored)
{
    insertChecked(
        [&] {
            change();
            return qint32(0);
        },
        [&]() -> std::optional<qint32> {
            if (stored()) return qint32(0);
            return std::nullopt;
        });
}

}  // namespace vt::app::data
