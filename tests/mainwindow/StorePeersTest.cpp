// Tables made by the fax store are read by independent xBase readers (python3-dbf and
// Perl XBase) with the field layouts the program defines, including memos and the
// deleted mark.
#include "StoreFixtures.h"

#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "common/DataFolder.h"

#include "TestPaths.h"

#include <QFile>
#include <QtTest>

#include <string>

using namespace fixtures;

namespace {

std::string Run(const std::string& command) {
    std::string output;
    const int status = qptest::RunCommand(command, &output);
    if (status != 0) {
        return "exit " + std::to_string(status) + ": " + output;
    }
    return output;
}

std::string PythonStructure(const std::string& table) {
    return Run("/usr/bin/python3 -c 'import dbf,sys; t=dbf.Table(sys.argv[1]); "
               "t.open(dbf.READ_ONLY); print(\";\".join(t.structure()))' " +
               DataFolder() + table);
}

std::string PerlLayout(const std::string& table) {
    return Run("perl -MXBase -e '$t=XBase->new(shift) or die XBase->errstr; "
               "@n=$t->field_names; @ty=$t->field_types; @l=$t->field_lengths; "
               "print join(\";\", map { \"$n[$_] $ty[$_] $l[$_]\" } 0..$#n)' " +
               DataFolder() + table);
}

} // namespace

class StorePeersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        ClearDataFolder();
        TTableEnv::Instance().SetDeleted(true);
    }

    void cleanupTestCase() { TTableEnv::Instance().Shutdown(); }

    // The four tables, created by opening them, have the program's field layouts.
    void fieldLayoutsAsDefined() {
        TFaxStore store(TTableEnv::Instance());
        QVERIFY(store.OpenFaxDBF());
        QVERIFY(store.OpenRecFaxDBF());
        QVERIFY(store.OpenCoverDBF());
        QVERIFY(TFaxStore::OpenPhoneDBF(store.PhoneAdapter()));
        store.FaxAdapter().Close();
        store.RecAdapter().Close();
        store.CoverAdapter().Close();
        store.PhoneAdapter().Close();

        // python3-dbf shows field names in lower case; Perl shows them as stored.
        QCOMPARE(PythonStructure("QPX.DBF"),
                 std::string("subject C(50);sent L;datesent D;timesent C(5);recipient C(35);"
                             "phone C(25);pages N(2,0);lastresult C(100);rtfcover M;rtfdoc M\n"));
        QCOMPARE(PythonStructure("QPXREC.DBF"),
                 std::string("daterec D;timerec C(5);from C(20);pages N(2,0);faxfile C(12);"
                             "notes C(60)\n"));
        QCOMPARE(PythonStructure("QPXCOV.DBF"), std::string("descript C(35);cover M\n"));
        QCOMPARE(PythonStructure("QPXPB.DBF"), std::string("name C(35);phone C(25)\n"));

        QCOMPARE(PerlLayout("QPX.DBF"),
                 std::string("SUBJECT C 50;SENT L 1;DATESENT D 8;TIMESENT C 5;RECIPIENT C 35;"
                             "PHONE C 25;PAGES N 2;LASTRESULT C 100;RTFCOVER M 10;RTFDOC M 10"));
        QCOMPARE(PerlLayout("QPXREC.DBF"),
                 std::string("DATEREC D 8;TIMEREC C 5;FROM C 20;PAGES N 2;FAXFILE C 12;"
                             "NOTES C 60"));
        for (const char* name : {"QPX.CDX", "QPXREC.CDX", "QPXCOV.CDX", "QPXPB.CDX"}) {
            QVERIFY2(QFile::exists(DataPath(name)), name);
        }
    }

    // Rows and memos written through the adapter read back the same in both peers; a
    // deleted record carries the mark.
    void rowsAndMemosReadByPeers() {
        TFaxStore store(TTableEnv::Instance());
        QVERIFY(store.OpenFaxDBF());
        TTableAdapter& fax = store.FaxAdapter();
        AddSentFax(fax, {"Quarterly figures", true, "20260301", "09:15", "Ann Baker", "555-0101", 3,
                         "Fax sent successfully"});
        // A memo longer than one block, written while the record is being edited.
        const std::string rtf = "{\\rtf1\\ansi " + std::string(300, 'x') + "}";
        {
            QFile file(DataPath("cover.rtf"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::fromStdString(rtf));
        }
        fax.Edit();
        fax.SetFieldString("SUBJECT", "Quarterly figures, final");
        fax.Replace("RTFCOVER", DataPath("cover.rtf").toStdString());
        QCOMPARE(fax.GetState(), TTableAdapter::State::Edit);
        fax.Post();
        QVERIFY(fax.BlobToFile("RTFCOVER", DataPath("back.rtf").toStdString()));
        QFile back(DataPath("back.rtf"));
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll().toStdString(), rtf);
        QVERIFY(!fax.BlobToFile("RTFDOC", DataPath("empty.rtf").toStdString()));

        AddSentFax(fax, {"Gone", false, "", "", "Carl Dunn", "555-0199", 0, ""});
        fax.Delete();
        fax.Close();

        const std::string python =
            Run("/usr/bin/python3 -c 'import dbf,sys; t=dbf.Table(sys.argv[1]); "
                "t.open(dbf.READ_ONLY); [print(dbf.is_deleted(r), r.subject.strip(), r.sent, "
                "r.datesent, r.pages, len(r.rtfcover or \"\"), sep=\"|\") for r in t]' " +
                DataFolder() + "QPX.DBF");
        QCOMPARE(python, std::string("False|Quarterly figures, final|True|2026-03-01|3|") +
                             std::to_string(rtf.size()) + "\nTrue|Gone|False|None|0|0\n");

        const std::string perl = Run(
            "perl -MXBase -e '$t=XBase->new(shift) or die; for $i (0..$t->last_record) "
            "{ @r=$t->get_record($i, \"RECIPIENT\", \"DATESENT\", \"RTFCOVER\"); "
            "print join(\"|\", $r[0], $r[1], $r[2] // \"\", length($r[3] // \"\")), \"\\n\" }' " +
            DataFolder() + "QPX.DBF");
        QCOMPARE(perl, std::string("0|Ann Baker|20260301|") + std::to_string(rtf.size()) +
                           "\n1|Carl Dunn||0\n");
    }
};

QTEST_MAIN(StorePeersTest)
#include "StorePeersTest.moc"
