#include "SendingFixtures.h"

#include "StoreFixtures.h"
#include "app/TMainScreen.h"
#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfReader.h"
#include "richtext/RichTextTransfer.h"
#include "richtext/TQpRichText.h"
#include "store/TFaxStore.h"
#include "store/TTableAdapter.h"

#include "EngineHarness.h"

#include <QDir>
#include <QTest>
#include <QTextCursor>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace sending {

std::unique_ptr<TMainScreen> StartWindow() {
    fixtures::WriteConfiguredSettings();
    auto window = std::make_unique<TMainScreen>();
    window->show();
    QElapsedTimer clock;
    clock.start();
    while (window->FirstActivation() && clock.elapsed() < 10000) {
        QTest::qWait(10);
    }
    return window;
}

QByteArray PagesRtf(const QString& title, int pages) {
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs28 ";
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) {
            rtf += "\\page ";
        }
        rtf += QStringLiteral("%1, page %2 of %3\\par ").arg(title).arg(page).arg(pages).toLatin1();
        for (int line = 1; line <= 3; ++line) {
            rtf += QStringLiteral(
                       "Line %1 of page %2: the quick brown fox jumps over the lazy dog.\\par ")
                       .arg(line)
                       .arg(page)
                       .toLatin1();
        }
    }
    return pages > 0 ? rtf + "}" : QByteArray();
}

void AddOutgoingFax(TMainScreen& window, const QByteArray& coverRtf, const QByteArray& docRtf,
                    const QString& recipient, const QString& subject, const QString& phone) {
    TTableAdapter& fax = window.Store().FaxAdapter();
    fax.Append();
    TQpRichText editor;
    editor.SetRtf(coverRtf);
    SaveRichText(editor, "RTFCOVER", fax);
    editor.SetRtf(docRtf);
    SaveRichText(editor, "RTFDOC", fax);
    fax.SetFieldString("RECIPIENT", recipient.toStdString());
    fax.SetFieldString("SUBJECT", subject.toStdString());
    fax.SetFieldString("PHONE", phone.toStdString());
    fax.Post();
    window.Store().FaxTableCloseAndOpen();
    window.SetButtons();
}

bool GoToRecord(TTableAdapter& table, const std::string& field, const std::string& value) {
    table.First();
    do {
        if (table.HasCurrentRecord() &&
            QString::fromStdString(table.FieldString(field)).trimmed() ==
                QString::fromStdString(value)) {
            return true;
        }
    } while (table.MoveBy(1));
    return false;
}

std::vector<FaxRaster> ApfPages(const QString& fileName) {
    std::vector<std::uint16_t> flags;
    return enginetest::ReadApfPages(fileName.toStdString(), &flags);
}

FaxRaster BottomRows(const FaxRaster& page, int rows) {
    rows = std::min(rows, page.Height());
    FaxRaster bottom(page.Width(), rows);
    const int skip = page.Height() - rows;
    for (int y = 0; y < rows; ++y) {
        std::memcpy(bottom.Row(y), page.Row(skip + y),
                    static_cast<std::size_t>(page.BytesPerRow()));
    }
    return bottom;
}

int ApfPageCount(const QString& fileName) {
    ApfFileHeader header;
    if (ApfReader::ReadFileHeader(fileName.toStdString(), header) != 0) {
        return -1;
    }
    return header.pageCount;
}

QStringList DataFiles(const QString& prefix) {
    QStringList names = QDir(QString::fromStdString(DataFolder()))
                            .entryList({prefix + QStringLiteral("*")}, QDir::Files);
    names.sort();
    return names;
}

int OpenFileCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QTest::qWait(20);
    }
    return done();
}

SimulatedLine::SimulatedLine(int portNumber) {
    static int lines = 0;
    dir_ = DataFolder() + "line" + std::to_string(++lines);
    std::filesystem::create_directories(dir_);
    IniFile ini(SettingsFileName());
    ini.WriteString("Ports", "Com" + std::to_string(portNumber), Link());
    ini.Save();
}

SimulatedLine::~SimulatedLine() {
    sim_.Process().Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool SimulatedLine::Start(std::vector<std::string> args) {
    args.insert(args.begin(), {"--link", Link()});
    if (std::find(args.begin(), args.end(), "--time-factor") == args.end()) {
        args.insert(args.end(), {"--time-factor", "10"});
    }
    std::string error;
    if (!sim_.Start(args, &error)) {
        qWarning("faxsim did not start: %s", error.c_str());
        return false;
    }
    return true;
}

void SimulatedLine::Drain() {
    // Every line that is there now, and no waiting when there is none.
    while (sim_.Process().ReadLine(FaxsimProcess::Ms(3))) {
    }
}

std::string SimulatedLine::File(const std::string& name) const {
    return (std::filesystem::path(dir_) / name).string();
}

std::string SimulatedLine::Event(const std::string& prefix) {
    Drain();
    for (const std::string& line : sim_.Process().Lines()) {
        if (line.rfind(prefix, 0) == 0) {
            return line;
        }
    }
    return {};
}

} // namespace sending
