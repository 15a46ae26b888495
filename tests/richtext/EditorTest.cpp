// The editor: the document model on Qt's text engine, loading and saving, the sheet rule.
#include "RichEditor.h"
#include "RvfFormat.h"
#include "TestDocs.h"
#include "TextDocumentBridge.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace vt::rt;
using namespace vt::rt::test;

TEST(Editor, FullDocumentSurvivesSaveLoadSave) {
  RichEditor ed;
  ed.setPictureListRequest(samplePictureList);
  ed.setModel(fullDocument());
  DocModel m = ed.toModel();
  DocModel expected = fullDocument();
  EXPECT_EQ(m.plainText(), expected.plainText());
  QByteArray first = ed.saveToBytes();
  RichEditor other;
  other.setPictureListRequest(samplePictureList);
  other.loadFromBytes(first);
  QByteArray second = other.saveToBytes();
  EXPECT_EQ(first, second);
  DocModel back;
  ASSERT_TRUE(readRvf(std::string_view(second.constData(), size_t(second.size())), back).ok);
  if (!(back == expected)) {
    // Show where they differ.
    EXPECT_TRUE(back.styles == expected.styles);
    EXPECT_EQ(back.lists, expected.lists);
    EXPECT_EQ(back.pictures.size(), expected.pictures.size());
    EXPECT_EQ(back.tables, expected.tables);
    ASSERT_EQ(back.blocks.size(), expected.blocks.size());
    for (size_t i = 0; i < back.blocks.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(back.blocks[i].paragraph.style, expected.blocks[i].paragraph.style);
      EXPECT_EQ(back.blocks[i].paragraph.list, expected.blocks[i].paragraph.list);
      ASSERT_EQ(back.blocks[i].paragraph.items.size(), expected.blocks[i].paragraph.items.size());
      for (size_t k = 0; k < back.blocks[i].paragraph.items.size(); ++k) {
        const Item& a = back.blocks[i].paragraph.items[k];
        const Item& b = expected.blocks[i].paragraph.items[k];
        EXPECT_EQ(int(a.kind), int(b.kind));
        EXPECT_EQ(a.style, b.style);
        EXPECT_EQ(a.text, b.text);
        EXPECT_EQ(a.link, b.link);
        EXPECT_EQ(a.index, b.index);
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.height, b.height);
      }
    }
    EXPECT_EQ(back.hasBackground, expected.hasBackground);
    EXPECT_EQ(back.background, expected.background);
    EXPECT_EQ(back.layout, expected.layout);
    EXPECT_EQ(back.properties, expected.properties);
  }
  EXPECT_TRUE(back == expected);
}
