// Building the fax file of an outgoing fax from the main window: when a text counts as
// empty, the page file names, joining page files, the whole build with its status stages
// and temporary files, and the View command on both pages.
#include "ModalAnswer.h"
#include "SendingFixtures.h"
#include "StoreFixtures.h"

#include "EngineHarness.h"
#include "app/TFaxFileBuilder.h"
#include "app/TMainScreen.h"
#include "common/DataFolder.h"
#include "common/EQPException.h"
#include "dialogs/TFaxViewer.h"
#include "faximage/TQpFaxConverter.h"
#include "faximage/viewer/TQpFaxPrinter.h"
#include "faximage/viewer/TQpFaxViewer.h"
#include "richtext/TQpRichText.h"
#include "store/TFaxStore.h"
#include "store/TTableAdapter.h"
#include "ui/MessageBoxScript.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

using namespace sending;

namespace {

QString Data(const QString& name) {
    return QString::fromStdString(DataFolder()) + name;
}

void Touch(const QString& name) {
    QFile file(Data(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// A one-page APF file of a picture with `mark` black rows at the top, made by the
// converter as the build makes its page files.
QString MakePageFile(const QString& name, int mark) {
    QImage page(TFaxFileBuilder::PageWidth, 400, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int y = 0; y < mark; ++y) {
        for (int x = 0; x < 200 + 40 * mark; ++x) {
            page.setPixel(x, y * 3, qRgb(0, 0, 0));
        }
    }
    TQpFaxConverter converter;
    converter.SetOptions(0);
    converter.ConvertBitmapToFile(Data(name), TFaxFileBuilder::ToMonochrome(page));
    return Data(name);
}

QByteArray FileBytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int FailureCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const EQPException& error) {
        return error.ErrorCode();
    }
    return 0;
}

} // namespace

class FaxBuildTest final : public QObject {
    Q_OBJECT

private slots:
    void init() {
        MessageBoxScript::Reset();
        fixtures::ClearDataFolder();
    }
    void cleanup() { MessageBoxScript::Reset(); }

    // A text counts as empty when it is empty, or short with blank first 201 lines.
    void emptyTextRules() {
        TQpRichText editor;
        QVERIFY(TFaxFileBuilder::IsRichTextEmpty(editor));
        editor.textCursor().insertText(QString(300, QChar(' ')));
        QVERIFY2(!TFaxFileBuilder::IsRichTextEmpty(editor),
                 "300 blanks are more than 255 characters");
        editor.Clear();
        editor.textCursor().insertText(QStringLiteral("   \n \t \n  "));
        QVERIFY(TFaxFileBuilder::IsRichTextEmpty(editor));
        editor.Clear();
        editor.textCursor().insertText(QString(201, QChar('\n')) + QStringLiteral("text"));
        QVERIFY2(TFaxFileBuilder::IsRichTextEmpty(editor), "text after line 201 is not looked at");
        editor.Clear();
        editor.textCursor().insertText(QString(200, QChar('\n')) + QStringLiteral("text"));
        QVERIFY2(!TFaxFileBuilder::IsRichTextEmpty(editor), "text on line 201 counts");
        editor.Clear();
        editor.textCursor().insertText(QStringLiteral("x"));
        QVERIFY(!TFaxFileBuilder::IsRichTextEmpty(editor));
    }

    // The first free "QPX_" name, and "QPX1.APF" when all thousand exist.
    void firstFreeNames() {
        QCOMPARE(TFaxFileBuilder::FirstFreeFaxName(), Data("QPX_1.APF"));
        for (const char* name : {"QPX_1.APF", "QPX_2.APF", "QPX_3.APF", "QPX_5.APF"}) {
            Touch(name);
        }
        QCOMPARE(TFaxFileBuilder::FirstFreeFaxName(), Data("QPX_4.APF"));
        for (int n = 4; n <= 1000; ++n) {
            Touch(QStringLiteral("QPX_%1.APF").arg(n));
        }
        QCOMPARE(TFaxFileBuilder::FirstFreeFaxName(), Data("QPX1.APF"));
    }

    // Appending keeps both files' pages in order; failures leave the target as it was
    // and no file open.
    void appendPagesAndFailures() {
        const QString first = MakePageFile("a.apf", 1);
        const QString second = MakePageFile("b.apf", 2);
        const QString third = MakePageFile("c.apf", 3);
        const auto expected =
            std::vector<FaxRaster>{ApfPages(first)[0], ApfPages(second)[0], ApfPages(third)[0]};
        const int filesOpen = OpenFileCount();
        TFaxFileBuilder::AppendFaxFile(first, second);
        QCOMPARE(ApfPageCount(first), 2);
        TFaxFileBuilder::AppendFaxFile(first, third);
        QCOMPARE(ApfPageCount(first), 3);
        const auto joined = ApfPages(first);
        QCOMPARE(joined.size(), std::size_t(3));
        for (std::size_t page = 0; page < 3; ++page) {
            QCOMPARE(enginetest::Difference(joined[page], expected[page]), std::string());
        }
        // A file of several pages appends all of them.
        const QString other = MakePageFile("d.apf", 4);
        TFaxFileBuilder::AppendFaxFile(other, first);
        QCOMPARE(ApfPageCount(other), 4);
        QCOMPARE(ApfPages(other).size(), std::size_t(4));

        const QByteArray before = FileBytes(first);
        QCOMPARE(FailureCode([&] { TFaxFileBuilder::AppendFaxFile(first, Data("none.apf")); }), 2);
        QCOMPARE(FailureCode([&] { TFaxFileBuilder::AppendFaxFile(Data("none.apf"), first); }), 2);
        QCOMPARE(FileBytes(first), before);
        QVERIFY(!QFile::exists(Data("none.apf")));

        // A target whose last page is cut short is not appended to.
        QFile::copy(first, Data("cut.apf"));
        QFile::resize(Data("cut.apf"), QFile(first).size() - 10);
        const QByteArray cut = FileBytes(Data("cut.apf"));
        QCOMPARE(FailureCode([&] { TFaxFileBuilder::AppendFaxFile(Data("cut.apf"), second); }),
                 TFaxFileBuilder::ReadFault);
        QCOMPARE(FileBytes(Data("cut.apf")), cut);
        // A source too short for its header.
        QFile stub(Data("stub.apf"));
        QVERIFY(stub.open(QIODevice::WriteOnly));
        stub.write("APF10", 5);
        stub.close();
        QCOMPARE(FailureCode([&] { TFaxFileBuilder::AppendFaxFile(first, Data("stub.apf")); }),
                 TFaxFileBuilder::ReadFault);
        QCOMPARE(FileBytes(first), before);
        QCOMPARE(OpenFileCount(), filesOpen);
    }

    // A one-page cover sheet and a three-page document become one four-page file; the
    // page files and the bitmap are gone, the status line went through its stages.
    void buildCoverAndDocument() {
        auto window = StartWindow();
        AddOutgoingFax(*window, PagesRtf("Cover", 1), PagesRtf("Document", 3));
        Touch("QPX_1.APF");
        Touch("QPXAX3.APF"); // a left-over page file of the same name is overwritten
        QStringList stages;
        auto* status = window->StatusLine();
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (stages.isEmpty() || stages.back() != status->text()) {
                stages << status->text();
            }
        });
        watch.start(0);
        const QString file = window->CreateFaxFile();
        watch.stop();
        QCOMPARE(file, Data("QPX_2.APF"));
        QCOMPARE(window->PageCount(), 4);
        QCOMPARE(ApfPageCount(file), 4);
        QCOMPARE(ApfPages(file).size(), std::size_t(4));
        QCOMPARE(DataFiles("QPXAX"), QStringList());
        QVERIFY(!QFile::exists(Data("_TMP.BMP")));
        QVERIFY(stages.contains(QStringLiteral("Creating fax file....")));
        QVERIFY(stages.contains(QStringLiteral("Creating fax file........")));
        QCOMPARE(status->text(), QString());
        QVERIFY(window->findChild<QPushButton*>("SendButton")->isEnabled());
        QVERIFY(!window->WPCover()->isVisible());
        QVERIFY(!window->WPDoc()->isVisible());
        QVERIFY(window->WPCover()->LineText(0).contains(QStringLiteral("Cover, page 1 of 1")));

        // Every page carries ink of its own text and the bottom-right mark.
        const auto pages = ApfPages(file);
        for (std::size_t page = 0; page < pages.size(); ++page) {
            QVERIFY(pages[page].Height() > 2000);
            for (std::size_t other = 0; other < page; ++other) {
                QVERIFY2(enginetest::Difference(pages[page], pages[other]) != std::string(),
                         "two pages look the same");
            }
        }
        QFile::remove(file);

        // Only a cover sheet: its own page count.
        AddOutgoingFax(*window, PagesRtf("Cover only", 2), QByteArray());
        const QString coverOnly = window->CreateFaxFile();
        QCOMPARE(window->PageCount(), 2);
        QCOMPARE(ApfPageCount(coverOnly), 2);
        QFile::remove(coverOnly);
    }

    // Nothing to send: the message, no file, the record untouched.
    void emptyFaxIsRefused() {
        auto window = StartWindow();
        AddOutgoingFax(*window, QByteArray(), PagesRtf("", 0));
        MessageBoxScript::AnswerAll(true);
        window->mnuViewPrintClick();
        const auto shown = MessageBoxScript::Shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, QStringLiteral("Fax has no contents or cover sheet"));
        QCOMPARE(shown[1].text, QStringLiteral("Error creating fax file"));
        QCOMPARE(DataFiles("QPX_"), QStringList());
        QCOMPARE(window->StatusLine()->text(), QString());
        QVERIFY(window->findChild<QPushButton*>("ViewFaxButton")->isEnabled());
    }

    // View of a sent fax shows the built file with the recipient and subject as the
    // printed header, and deletes the file when the window closes.
    void viewSentFax() {
        auto window = StartWindow();
        AddOutgoingFax(*window, PagesRtf("Cover", 1), PagesRtf("Document", 3));
        QString shownFile;
        int shownPages = 0;
        std::vector<FaxRaster> filePages;
        QString header;
        auto answer = qptest::OnNextModal<TFaxViewer>([&](TFaxViewer* viewer) {
            shownFile = viewer->FileName();
            header = viewer->FaxPrinter()->FaxHeader().Caption();
            filePages = ApfPages(shownFile);
            QTRY_VERIFY(viewer->FaxViewer()->PageCount() > 0);
            shownPages = viewer->FaxViewer()->PageCount();
            viewer->reject();
        });
        window->mnuViewPrintClick();
        QVERIFY(answer.Wait());
        QCOMPARE(shownPages, 4);
        QCOMPARE(filePages.size(), std::size_t(4));
        QCOMPARE(header, QStringLiteral("Ann Smith - Quarterly figures"));
        QVERIFY(!QFile::exists(shownFile));
        QCOMPARE(DataFiles("QPX_"), QStringList());
    }

    // View of a received fax: its own file, which stays; a missing file is reported.
    void viewReceivedFax() {
        auto window = StartWindow();
        const QString file = MakePageFile("receive/FAX0001.APF", 2);
        fixtures::AddReceivedFax(window->Store().RecAdapter(),
                                 {"20261207", "15:50", "STATION 9", 1, "FAX0001.APF", "urgent"});
        fixtures::AddReceivedFax(window->Store().RecAdapter(),
                                 {"20261208", "09:10", "NOBODY", 1, "FAX0002.APF", ""});
        window->Store().RecTableCloseAndOpen();
        window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);
        TTableAdapter& rec = window->Store().RecAdapter();
        QVERIFY(GoToRecord(rec, "FROM", "STATION 9"));
        QString header;
        auto answer = qptest::OnNextModal<TFaxViewer>([&](TFaxViewer* viewer) {
            header = viewer->FaxPrinter()->FaxHeader().Caption();
            QCOMPARE(viewer->FileName(), file);
            viewer->reject();
        });
        window->mnuViewPrintClick();
        QVERIFY(answer.Wait());
        QCOMPARE(header, QStringLiteral("STATION 9 - urgent"));
        QVERIFY(QFile::exists(file));

        QVERIFY(GoToRecord(rec, "FROM", "NOBODY"));
        MessageBoxScript::AnswerAll(true);
        window->mnuViewPrintClick();
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown()[0].text, QStringLiteral("Fax file is missing"));
    }
};

QTEST_MAIN(FaxBuildTest)
#include "FaxBuildTest.moc"
