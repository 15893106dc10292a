// Opening the fax editor on a sent fax whose document runs to 20 pages, and switching to
// the document's page, as Edit does: load both memos into the editor, show it, press
// "Fax Document" and let it paint. It should stay under 300 ms.
#include "dialogs/TFaxEditor.h"
#include "dialogs/TEnterEdit.h"

#include "common/DataFolder.h"
#include "richtext/RichTextTransfer.h"
#include "richtext/TQpRichText.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int Pages = 20;

// Paragraphs of ordinary text, laid out until the document fills `Pages` fax pages.
void FillDocument(TQpRichText& editor) {
    const QString sentence = QStringLiteral(
        "The quarterly figures for the northern region show a steady rise in orders, ");
    QString text;
    int paragraph = 0;
    int pages = 0;
    int more = 400; // about 25 paragraphs of two lines fill a page
    while (pages < Pages) {
        for (int i = 0; i < more; ++i, ++paragraph) {
            text += QStringLiteral("%1. ").arg(paragraph + 1) + sentence + sentence + "\n";
        }
        editor.setPlainText(text);
        // The text area of a letter page with half-inch margins, in screen pixels at 100 %.
        const QRect textArea(0, 0, 720, 960);
        QImage page(textArea.size(), QImage::Format_Mono);
        pages = 0;
        for (int start = 0;; ++pages) {
            QPainter painter(&page);
            start = editor.RenderPage(painter, start, textArea);
            if (start <= 0) {
                ++pages;
                break;
            }
        }
        more = 25;
    }
    std::fprintf(stderr, "Document: %d paragraphs, %d fax pages\n", paragraph, pages);
}

bool StoreLongFax(TFaxStore& store) {
    if (!store.OpenFaxDBF()) {
        return false;
    }
    TTableAdapter& fax = store.FaxAdapter();
    TQpRichText document;
    FillDocument(document);
    TQpRichText cover;
    cover.setPlainText("To: Sales Desk\nFrom: Quillpost\n");
    fax.Append();
    SaveRichText(cover, "RTFCOVER", fax);
    SaveRichText(document, "RTFDOC", fax);
    fax.SetFieldString("RECIPIENT", "Sales Desk");
    fax.SetFieldString("SUBJECT", "Twenty pages");
    fax.SetFieldString("PHONE", "555-0101");
    fax.Post();
    return true;
}

void BM_OpenEditorOnDocumentPage(benchmark::State& state, TFaxStore* store) {
    TTableAdapter& fax = store->FaxAdapter();
    fax.First();
    for (auto _ : state) {
        TFaxEditor editor;
        LoadRichText(*editor.WPCover(), "RTFCOVER", fax);
        LoadRichText(*editor.WPDoc(), "RTFDOC", fax);
        editor.Recipient()->setText(QString::fromStdString(fax.FieldString("RECIPIENT")));
        editor.Subject()->setText(QString::fromStdString(fax.FieldString("SUBJECT")));
        editor.FaxNumber()->setText(QString::fromStdString(fax.FieldString("PHONE")));
        editor.show();
        editor.findChild<QPushButton*>("DocumentButton")->click();
        // Paint the visible page now, as the screen would.
        editor.grab();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(editor.WPDoc()->CharCount());
        editor.hide();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir dataFolder;
    if (qEnvironmentVariableIsEmpty("QUILLPOST_DATA")) {
        qputenv("QUILLPOST_DATA", dataFolder.path().toLocal8Bit());
    }
    QApplication application(argc, argv);
    TTableEnv::Instance().SetDeleted(true);
    auto store = std::make_unique<TFaxStore>(TTableEnv::Instance());
    if (!StoreLongFax(*store)) {
        std::fprintf(stderr, "Could not write the sent table in %s\n", DataFolder().c_str());
        return 1;
    }
    benchmark::RegisterBenchmark("BM_OpenEditorOnDocumentPage", BM_OpenEditorOnDocumentPage,
                                 store.get())
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    store.reset();
    TTableEnv::Instance().Shutdown();
    return 0;
}
