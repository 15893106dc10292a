// The fax store's adapter and grid model on real tables in the test's data folder:
// positions kept across reopening and deleting, the memo post-then-edit rule, open
// failures, and the model's notifications.
#include "StoreFixtures.h"

#include "store/ETableError.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "store/TTableModel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using namespace fixtures;

class StoreTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TFaxStore> store_;

    // Three received faxes on the 1st, 2nd and 3rd, opened in date order.
    TTableAdapter& ReceivedTable() {
        TTableAdapter& rec = store_->RecAdapter();
        AddReceivedFax(rec, {"20260303", "08:00", "THIRD", 1, "FAX0003.APF", ""});
        AddReceivedFax(rec, {"20260301", "08:00", "FIRST", 1, "FAX0001.APF", ""});
        AddReceivedFax(rec, {"20260302", "08:00", "SECOND", 1, "FAX0002.APF", ""});
        rec.SetOrder(rec.TagArea("DATETIME"));
        rec.First();
        return rec;
    }

private slots:
    void initTestCase() { TTableEnv::Instance().SetDeleted(true); }

    void init() {
        ClearDataFolder();
        store_ = std::make_unique<TFaxStore>(TTableEnv::Instance());
        QVERIFY(store_->OpenFaxDBF());
        QVERIFY(store_->OpenRecFaxDBF());
    }

    void cleanup() {
        store_.reset();
        TTableEnv::Instance().Shutdown();
    }

    // The calculated column is exactly three characters.
    void sentYesNo() {
        QCOMPARE(TFaxStore::FaxTableCalcFields(true), std::string("Yes"));
        QCOMPARE(TFaxStore::FaxTableCalcFields(false), std::string("No "));
    }

    // Without a current record the record number is the record count plus one.
    void recordNumberWithoutCurrentRecord() {
        TTableAdapter& fax = store_->FaxAdapter();
        QVERIFY(!fax.HasCurrentRecord());
        QCOMPARE(fax.RecNo(), 1L);
        AddSentFax(fax, {"One", false, "", "", "A", "1", 0, ""});
        QVERIFY(fax.HasCurrentRecord());
        QCOMPARE(fax.RecNo(), 1L);
    }

    // Reopening keeps the current record; a record deleted meanwhile is skipped quietly.
    void closeAndOpenKeepsPosition() {
        TTableAdapter& rec = ReceivedTable();
        rec.Go(3); // SECOND
        store_->RecTableCloseAndOpen();
        QCOMPARE(rec.RecNo(), 3L);
        QCOMPARE(rec.FieldString("FROM"), std::string("SECOND"));
        QCOMPARE(rec.Filter(), std::string(".not. deleted()"));

        rec.Delete();
        store_->RecTableCloseAndOpen();
        QVERIFY(rec.HasCurrentRecord());
        QVERIFY(rec.RecNo() != 3);
        QCOMPARE(rec.QueryRecCount(), 2L);
    }

    // Deleting moves to the next row in order, and to the previous one at the end.
    void deleteMovesToNeighbour() {
        TTableAdapter& rec = ReceivedTable();
        const long rows[3] = {rec.RecordOfRow(0), rec.RecordOfRow(1), rec.RecordOfRow(2)};
        rec.Go(rows[1]);
        rec.Delete();
        QCOMPARE(rec.RecNo(), rows[2]);
        rec.Delete();
        QCOMPARE(rec.RecNo(), rows[0]);
        rec.Delete();
        QVERIFY(!rec.HasCurrentRecord());
        QCOMPARE(rec.RecNo(), 4L);
        QCOMPARE(rec.RecCount(), 3L);
        QVERIFY_THROWS_EXCEPTION(ETableError, rec.Go(2));
    }

    // A memo written while inserting posts the record first and returns to editing.
    void memoWrittenWhileInserting() {
        TTableAdapter& fax = store_->FaxAdapter();
        const QString file = DataPath("doc.rtf");
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("{\\rtf1 hello}");
        }
        fax.Append();
        fax.SetFieldString("SUBJECT", "With memo");
        fax.Replace("RTFDOC", file.toStdString());
        QCOMPARE(fax.GetState(), TTableAdapter::State::Edit);
        QCOMPARE(fax.RecCount(), 1L);
        QCOMPARE(fax.FieldString("SUBJECT"), std::string("With memo"));
        fax.SetFieldString("RECIPIENT", "Later");
        fax.Post();
        QCOMPARE(fax.RecCount(), 1L);
        QCOMPARE(fax.FieldString("RECIPIENT"), std::string("Later"));
        QVERIFY(fax.BlobToFile("RTFDOC", DataPath("out.rtf").toStdString()));
        QFile in(DataPath("out.rtf"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), QByteArray("{\\rtf1 hello}"));
    }

    // A damaged table is reported as a failed open and left as it was.
    void damagedTableFailsToOpen() {
        store_.reset();
        TTableEnv::Instance().Shutdown();
        {
            QFile cover(DataPath("QPXCOV.DBF"));
            QVERIFY(cover.open(QIODevice::WriteOnly));
            cover.write(QByteArray(40, '\x03'));
        }
        TFaxStore store(TTableEnv::Instance());
        QVERIFY(!store.OpenCoverDBF());
        QVERIFY(!store.CoverAdapter().Active());
        QCOMPARE(QFileInfo(DataPath("QPXCOV.DBF")).size(), 40);
    }

    // The model reads rows in tag order, follows changes with a reset, and keeps only a
    // bounded cache.
    void modelFollowsTheTable() {
        TTableAdapter& rec = ReceivedTable();
        TTableModel model(rec, {{"From", "FROM", 20, {}}, {"Date Rec'd", "DATEREC", 0, {}}});
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QCOMPARE(model.rowCount(), 3);
        QStringList order;
        for (int row = 0; row < 3; ++row) {
            order << model.data(model.index(row, 0)).toString();
        }
        // Either direction of the date tag is allowed; the order must be by date.
        QVERIFY(order == QStringList({"FIRST", "SECOND", "THIRD"}) ||
                order == QStringList({"THIRD", "SECOND", "FIRST"}));
        QCOMPARE(model.data(model.index(0, 1)).toString(),
                 TTableModel::DateText(order[0] == "FIRST" ? "20260301" : "20260303"));
        QCOMPARE(TTableModel::DateText("        "), QString());

        rec.Go(2); // FIRST
        rec.Delete();
        QVERIFY(resets.count() >= 1);
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(!order.isEmpty());
        for (int row = 0; row < 2; ++row) {
            QVERIFY(model.data(model.index(row, 0)).toString() != "FIRST");
        }
        const int current = model.CurrentRow();
        QVERIFY(current >= 0);
        QCOMPARE(model.RecordOfRow(current), rec.RecNo());
    }
};

QTEST_MAIN(StoreTest)
#include "StoreTest.moc"
