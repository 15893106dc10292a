#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FaxsimProcess.h"
#include "faximage/core/FaxRaster.h"

class TMainScreen;
class TQpRichText;
class TTableAdapter;

// Helpers of the sending and receiving tests: a shown main window on the test's data
// folder, outgoing faxes written into the sent table, and the pages of fax files.
namespace sending {

// A shown main window whose first activation has run (the preferences are skipped).
std::unique_ptr<TMainScreen> StartWindow();

// Rich text of `pages` pages (page breaks between them), each with a few lines of text
// that name the page.
QByteArray PagesRtf(const QString& title, int pages);

// Appends a sent-fax record with the given cover sheet and document (either may be
// empty) and makes it the current record.
void AddOutgoingFax(TMainScreen& window, const QByteArray& coverRtf, const QByteArray& docRtf,
                    const QString& recipient = QStringLiteral("Ann Smith"),
                    const QString& subject = QStringLiteral("Quarterly figures"),
                    const QString& phone = QStringLiteral("5550123"));

// Makes the first record whose `field` holds `value` the current one; false when none.
bool GoToRecord(TTableAdapter& table, const std::string& field, const std::string& value);

// The pages of an APF file as the program's own decoder reads them.
std::vector<FaxRaster> ApfPages(const QString& fileName);
// The last `rows` rows of a page (a page the far end got below the header line).
FaxRaster BottomRows(const FaxRaster& page, int rows);
// Page count field of an APF file (-1 when unreadable).
int ApfPageCount(const QString& fileName);

// Files of the data folder whose names start with `prefix`.
QStringList DataFiles(const QString& prefix);

// Open file descriptors of this process.
int OpenFileCount();

// Runs the event loop until `done` or `ms` have passed; the result of `done`.
bool WaitUntil(const std::function<bool()>& done, int ms);

// faxsim (spandsp's Class 1 modem with spandsp's fax terminal at the far end) on a
// pseudo-terminal in the data folder, mapped to port `Com`n of the settings file.
class SimulatedLine {
public:
    explicit SimulatedLine(int portNumber = 1);
    ~SimulatedLine();
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    // Starts faxsim with `args` (the link and a time factor are added).
    bool Start(std::vector<std::string> args);
    // A file in the line's own folder.
    std::string File(const std::string& name) const;
    std::string Link() const { return File("modem"); }
    bool Command(const std::string& line) { return sim_.Process().WriteLine(line); }
    // Reads waiting event lines without blocking (faxsim must never wait for its reader).
    void Drain();
    // The first event line so far that begins with `prefix` (empty when none).
    std::string Event(const std::string& prefix);
    std::string Transcript() const { return sim_.Transcript(); }

private:
    std::string dir_;
    FaxsimProcess sim_;
};

} // namespace sending
