#pragma once
#include <stdexcept>
#include <string>

namespace vt::rt {

// What the engine throws when a file or a body cannot be read or written; what() is the
// message for the user ("not a Veltrana document", "damaged at byte N", ...).
class RichTextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A document beyond the editor's limits ("This document is too large to show: ...").
class DocumentTooLarge : public RichTextError {
public:
    using RichTextError::RichTextError;
};

}  // namespace vt::rt
