// Damaged index files and a sent table cut short at its last record do not lock the user
// out: the program starts, rebuilds the index and says so. A row holding a value the
// table cannot store is not added at all, and an edit with one changes nothing.
#include "StoreFixtures.h"

#include "app/TMainScreen.h"
#include "common/Settings.h"
#include "store/ETableError.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "store/TTableModel.h"
#include "store/TableLayouts.h"
#include "tables/TableEngine.h"
#include "ui/MessageBoxScript.h"

#include <QFile>
#include <QtTest>

#include <memory>

using namespace fixtures;

namespace {

// Problems `check` finds in a table (empty when table, memo file and index agree).
QString CheckTable(const QString& table) {
    qp::tables::TableEngine engine;
    if (engine.Use(table.toStdString()) <= 0) {
        return QString::fromStdString("cannot open: " + engine.LastErrorText());
    }
    std::vector<std::string> problems;
    engine.Check(problems);
    engine.Close();
    return problems.empty() ? QString() : QString::fromStdString(problems.front());
}

void CutFile(const QString& path, qint64 bytesOff) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(file.size() - bytesOff));
}

QString AllShownTexts() {
    QString texts;
    for (const auto& box : MessageBoxScript::Shown()) {
        texts += box.text + "\n";
    }
    return texts;
}

} // namespace

class StartRepairTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainScreen> StartWindow() {
        auto window = std::make_unique<TMainScreen>();
        window->show();
        [&] { QTRY_VERIFY(!window->FirstActivation()); }();
        return window;
    }

    // Three sent and two received faxes, written by a first run of the program.
    void MakeTables() {
        auto window = StartWindow();
        TTableAdapter& fax = window->Store().FaxAdapter();
        AddSentFax(fax, {"first", true, "20260301", "09:15", "Ann", "555-0101", 3, "ok"});
        AddSentFax(fax, {"second", false, "20260302", "", "Bob", "555-0102", 0, ""});
        AddSentFax(fax, {"third", false, "20260303", "", "Cy", "555-0103", 0, ""});
        TTableAdapter& rec = window->Store().RecAdapter();
        AddReceivedFax(rec, {"20260302", "10:20", "+1 555 0123", 2, "FAX0001.APF", ""});
        AddReceivedFax(rec, {"20260303", "11:45", "ACME", 1, "FAX0002.APF", "order"});
    }

private slots:
    void init() {
        MessageBoxScript::Reset();
        ClearDataFolder();
        LoadSettings();
        WriteConfiguredSettings();
        MessageBoxScript::AnswerAll(true);
    }

    void cleanup() { MessageBoxScript::Reset(); }

    void damagedIndexRebuiltAtStart_data() {
        QTest::addColumn<QString>("index");
        QTest::addColumn<int>("keep"); // bytes kept of the index file
        QTest::newRow("sent index empty") << "QPX.CDX" << 0;
        QTest::newRow("sent index cut in its header") << "QPX.CDX" << 700;
        QTest::newRow("sent index cut in its tree") << "QPX.CDX" << 2600;
        QTest::newRow("received index empty") << "QPXREC.CDX" << 0;
    }

    void damagedIndexRebuiltAtStart() {
        QFETCH(QString, index);
        QFETCH(int, keep);
        MakeTables();
        {
            QFile file(DataPath(index));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(keep));
        }
        MessageBoxScript::Reset();
        MessageBoxScript::AnswerAll(true);
        auto window = StartWindow();
        QVERIFY(window->isVisible());
        QVERIFY(window->Store().FaxAdapter().Active());
        QVERIFY(window->Store().RecAdapter().Active());
        QCOMPARE(window->FaxModel()->rowCount(), 3);
        QCOMPARE(window->RecModel()->rowCount(), 2);
        const QString shown = AllShownTexts();
        QVERIFY2(shown.contains(index), qPrintable(shown));
        QVERIFY2(shown.contains("rebuilt"), qPrintable(shown));
        window.reset();
        TTableEnv::Instance().Shutdown();
        QCOMPARE(CheckTable(DataPath("QPX.DBF")), QString());
        QCOMPARE(CheckTable(DataPath("QPXREC.DBF")), QString());
    }

    void shortLastRecordAtStart() {
        MakeTables();
        CutFile(DataPath("QPX.DBF"), 100); // inside the third record (and its end marker)
        MessageBoxScript::Reset();
        MessageBoxScript::AnswerAll(true);
        auto window = StartWindow();
        QVERIFY(window->isVisible());
        QCOMPARE(window->FaxModel()->rowCount(), 2);
        const QString shown = AllShownTexts();
        QVERIFY2(shown.contains("QPX.DBF"), qPrintable(shown));
        QVERIFY2(shown.contains("record 3"), qPrintable(shown));
        // The next change stores a whole table again.
        AddSentFax(window->Store().FaxAdapter(),
                   {"fourth", false, "20260304", "", "Di", "", 0, ""});
        QCOMPARE(window->Store().FaxAdapter().RecCount(), 3L);
        window.reset();
        TTableEnv::Instance().Shutdown();
        QCOMPARE(CheckTable(DataPath("QPX.DBF")), QString());
    }

    void rowWithAnUnstorableValueIsNotAdded() {
        TFaxStore store(TTableEnv::Instance());
        QVERIFY(store.OpenFaxDBF());
        TTableAdapter& fax = store.FaxAdapter();
        AddSentFax(fax, {"kept", true, "20260301", "09:15", "Ann", "555-0101", 3, "ok"});
        const long before = fax.RecCount();
        const auto attempt = [&](auto setBadValue) {
            fax.Append();
            fax.SetFieldString("SUBJECT", "should not appear");
            setBadValue();
            bool refused = false;
            try {
                fax.Post();
            } catch (const ETableError&) {
                refused = true;
            }
            return refused;
        };
        QVERIFY(attempt([&] { fax.SetFieldDate("DATESENT", "20230231"); }));
        QCOMPARE(fax.RecCount(), before);
        QVERIFY(attempt([&] { fax.SetFieldNumber("PAGES", 100); }));
        QCOMPARE(fax.RecCount(), before);

        // An edit with a bad value leaves every field of the record as it was.
        fax.First();
        fax.Edit();
        fax.SetFieldString("SUBJECT", "changed");
        fax.SetFieldDate("DATESENT", "00000101");
        QVERIFY_THROWS_EXCEPTION(ETableError, fax.Post());
        QCOMPARE(fax.FieldString("SUBJECT"), std::string("kept"));
        QCOMPARE(fax.FieldDate("DATESENT"), std::string("20260301"));
        fax.Close();
        TTableEnv::Instance().Shutdown();
        QCOMPARE(CheckTable(DataPath("QPX.DBF")), QString());
    }

    // The page count field holds two digits: a longer fax is stored as 99 pages.
    void pageCountsAboveTheFieldAreStoredAs99() {
        QCOMPARE(store::StoredPageCount(0), 0);
        QCOMPARE(store::StoredPageCount(12), 12);
        QCOMPARE(store::StoredPageCount(99), 99);
        QCOMPARE(store::StoredPageCount(100), 99);
        QCOMPARE(store::StoredPageCount(4000), 99);
        QCOMPARE(store::StoredPageCount(-3), 0);
    }
};

QTEST_MAIN(StartRepairTest)
#include "StartRepairTest.moc"
