#pragma once
// The program's pictures: the shared image list of the outline and the page tabs, the state
// pictures of the outline's documents and the glyphs of the formatting toolbar. They are
// shipped with the program as resources.

#include <QIcon>

namespace vt::app::ui {

// The picture numbers of the shared image list (13 pictures of 16 by 16).
enum ImageIndex {
    kSelectedProject = 0,
    kSelectedCategory = 2,
    kCategory = 3,
    kMembers = 5,
    kDiscussion = 6,
    kProject = 8,
    kAttachments = 10,
    kDocument = 11,
    kSelectedDocument = 12,  // also the Details page
    kImageCount = 13,
};
QIcon imageList(int index);

// An outline node's icon: its picture (the selected picture when the node is selected) and,
// for documents, the state picture beside it (0 none, 1 messages, 2 attachments, 3 both).
// Every node's icon has the same width, so that captions line up.
QIcon outlineIcon(int picture, int selectedPicture, int stateIndex);
QSize outlineIconSize();

// A toolbar glyph by its picture name ("document-save", "format-text-bold", ...), in the
// desktop's button text colour, sharp at scale 1 and 2. "document-save", "text-colour" and
// "text-background-colour" are drawn as vector shapes.
QIcon glyph(const char* name);

// The program's own icon (window and desktop entry).
QIcon appIcon();

}  // namespace vt::app::ui
