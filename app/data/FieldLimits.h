#pragma once
// The longest text each column a user types into can hold, in characters, as the schema
// declares it. Edits refuse more as the user types, so that the server never cuts or refuses
// a value; one table here instead of numbers in every window.

namespace vt::app::data::limits {

constexpr int kProjectName = 400;             // Projects.ProjectName
constexpr int kCategoryName = 400;            // Catagories.CatagoryName
constexpr int kDocumentTopic = 400;           // Requirements.RequirementName
constexpr int kMessageSubject = 400;          // Req_messages.Subject
constexpr int kUserName = 400;                // Users.Username
constexpr int kUserDetail = 400;              // Users.FirstName, LastName, email, Position
constexpr int kAttachmentLink = 4000;         // Attachments.Link
constexpr int kAttachmentDescription = 1000;  // Attachments.Description
constexpr int kSharedFolder = 4000;           // global_settings.commondir, attachments, documents

}  // namespace vt::app::data::limits
