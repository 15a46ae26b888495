// Not a test: shows the editor with its ruler and a formatted document, saves a picture of
// the window and prints the document to PDF, for looking at.
//   richtext_preview window.png document.pdf
#include "TestDocs.h"
#include "richtext/DocPrint.h"
#include "richtext/RichEditor.h"
#include "richtext/Ruler.h"

#include <QApplication>
#include <QPrinter>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

using namespace vt::rt;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    QWidget window;
    window.setWindowTitle("Veltrana rich-text engine");
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* ruler = new Ruler;
    auto* editor = new RichEditor;
    layout->addWidget(ruler);
    layout->addWidget(editor);
    ruler->setEditor(editor);
    editor->setPictureListRequest(test::samplePictureList);
    editor->setModel(test::fullDocument());
    for (int i = 1; i <= 40; ++i)
        editor->appendParagraph(QString("Paragraph %1 of the body, long enough to wrap at the fixed text width of "
                                        "seven inches between the margins of three quarters of an inch.")
                                    .arg(i));
    // The caret in the indented, right-aligned paragraph: the ruler shows its indents.
    editor->setTextCursor(QTextCursor(editor->document()->findBlockByNumber(1)));
    editor->format();
    window.resize(900, 640);
    window.show();
    QTimer::singleShot(500, [&] {
        window.grab().save(QString::fromLocal8Bit(argv[1]));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromLocal8Bit(argv[2]));
        DocPrint print;
        print.setEditor(editor);
        print.print(printer, "Preview");
        app.quit();
    });
    return app.exec();
}
