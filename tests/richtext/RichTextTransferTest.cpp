// LoadRichText and SaveRichText between the editor and memo fields of real tables,
// through "Eraseme.rtf" in the data folder.
#include "richtext/RichTextTransfer.h"

#include "Headless.h"

#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "common/DataFolder.h"

#include <QtTest>

#include <filesystem>

namespace {

bool TransferFileExists() {
    return std::filesystem::exists(DataFolder() + "Eraseme.rtf");
}

} // namespace

class RichTextTransferTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TTableEnv::Instance().SetDeleted(true); }
    void cleanupTestCase() { TTableEnv::Instance().Shutdown(); }

    // Saving a template and loading it again gives the same text and attributes; the
    // save leaves "Eraseme.rtf", the load removes it.
    void saveAndLoadKeepTextAndAttributes() {
        TFaxStore store(TTableEnv::Instance());
        QVERIFY(store.OpenCoverDBF());
        TTableAdapter& covers = store.CoverAdapter();
        covers.Append();
        covers.SetFieldString("DESCRIPT", "Standard");
        covers.Post();

        TQpRichText editor;
        editor.SetBold(true);
        QTest::keyClicks(&editor, "To: ");
        editor.SetBold(false);
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        editor.InsertPageBreak();
        editor.textCursor().insertText(QString::fromUtf8("Grüße\tand more"));
        SaveRichText(editor, "COVER", covers);
        QVERIFY(TransferFileExists());

        TQpRichText loaded;
        LoadRichText(loaded, "COVER", covers);
        QVERIFY(!TransferFileExists());
        QCOMPARE(loaded.Rtf(), editor.Rtf());
        QCOMPARE(loaded.InsertPointCount(), 1);
        QCOMPARE(loaded.LineText(1), QString::fromUtf8("Grüße\tand more"));

        // A record being edited is posted first and stays in edit mode.
        covers.Edit();
        covers.SetFieldString("DESCRIPT", "Changed");
        editor.textCursor().insertText(" end");
        SaveRichText(editor, "COVER", covers);
        QCOMPARE(covers.GetState(), TTableAdapter::State::Edit);
        covers.Post();
        LoadRichText(loaded, "COVER", covers);
        QVERIFY(loaded.LineText(1).endsWith("more end"));
        QCOMPARE(covers.FieldString("DESCRIPT"), std::string("Changed"));
        covers.Close();
    }

    // Loading an empty memo gives an empty editor and leaves no file in the data folder.
    void emptyMemoLoadsEmptyEditor() {
        TFaxStore store(TTableEnv::Instance());
        QVERIFY(store.OpenFaxDBF());
        TTableAdapter& faxes = store.FaxAdapter();
        faxes.Append();
        faxes.SetFieldString("SUBJECT", "No contents");
        faxes.Post();
        std::filesystem::remove(DataFolder() + "Eraseme.rtf");

        TQpRichText editor;
        editor.setPlainText("left over from before");
        LoadRichText(editor, "RTFDOC", faxes);
        QVERIFY(editor.IsEmpty());
        QVERIFY(!TransferFileExists());
        faxes.Close();
    }
};

QTEST_MAIN(RichTextTransferTest)
#include "RichTextTransferTest.moc"
