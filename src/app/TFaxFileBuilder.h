#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

class TQpFaxConverter;
class TQpRichText;
class TTableAdapter;

// Builds the fax file of an outgoing fax: the cover sheet and the document are laid out
// page by page on fine-resolution monochrome pages, each page is converted into a
// one-page APF file in the data folder, and the page files are joined into the first one.
//
// Runs on the user-interface thread and lets pending events run between pages, so the
// window stays responsive while a long document is built. Converter and file errors are
// raised as exceptions (EQPException and its kin); page files already written stay
// behind only then.
class TFaxFileBuilder final {
public:
    // Page bitmap: 1664 x 2156 pixels (about 8.16 x 11 inches at 204 x 196 dots per
    // inch), the text 49 pixels inside every edge.
    static constexpr int PageWidth = 1664;
    static constexpr int PageHeight = 2156;
    static constexpr int PageMargin = 49;
    // A rich text of more characters than this is never taken for empty.
    static constexpr int MostCharsOfEmptyText = 255;
    // How many leading lines of a short text must be blank for it to count as empty.
    static constexpr int LinesCheckedForEmpty = 201;
    // "QPX_1.APF" ... "QPX_1000.APF".
    static constexpr int HighestFaxNumber = 1000;
    // File-system codes of failed joins.
    static constexpr int FileNotFound = 2;
    static constexpr int ReadFault = 100;
    static constexpr int WriteFault = 101;

    // Reports the stage of a build for the status line ("Creating fax file", ...).
    using StageReport = std::function<void(const QString& text)>;

    // `cover` and `document` are the hidden editors the texts are laid out in.
    TFaxFileBuilder(TQpRichText& cover, TQpRichText& document, TQpFaxConverter& converter);

    void SetStageReport(StageReport report) { stageReport_ = std::move(report); }

    // Loads RTFCOVER and RTFDOC of the current record of `faxTable` into the editors and
    // builds the fax file: the cover sheet's pages first, then the document's. Returns
    // the file's full path, or an empty text when both texts are empty.
    QString Build(TTableAdapter& faxTable);
    // Page files of the last build.
    int PageCount() const { return pageCount_; }

    // True when the editor holds nothing worth sending: an empty document, or at most
    // 255 characters whose first 201 lines are blank.
    static bool IsRichTextEmpty(const TQpRichText& editor);
    // Lays the editor's text out page by page and converts every page into a page file,
    // appending the files' paths to `pages`. The first page of a fax takes the first
    // free "QPX_" name, later pages "QPXAX" + their page number. At least one page.
    void RenderRichTextToFax(TQpRichText& editor, QStringList& pages);
    // DataFolder() + "QPX_" + n + ".APF" for the smallest n from 1 to 1000 whose file
    // does not exist; DataFolder() + "QPX1.APF" when all exist.
    static QString FirstFreeFaxName();
    // Appends every later page file to the first one, deletes the later ones and returns
    // the first one's path (empty for an empty list).
    static QString JoinFaxFiles(const QStringList& pages);
    // Appends the pages of the APF file `source` to the APF file `target`. A missing file
    // fails with code 2; a file too short for its own header or pages fails with code 100,
    // a failed write with code 101. Both files are closed in every case.
    static void AppendFaxFile(const QString& target, const QString& source);

    // The zoom (percent) that lays text out at about 200 dots per inch on a screen of
    // `screenDpi` pixels per inch.
    static int FaxZoom(double screenDpi);
    // The page as the converter takes it: 1 bit per pixel, black where `page` is darker
    // than mid-grey.
    static QImage ToMonochrome(const QImage& page);

private:
    void ReportStage(const QString& text) const;
    QString ConvertPage(const QImage& page, const QString& pageFile);

    TQpRichText& cover_;
    TQpRichText& document_;
    TQpFaxConverter& converter_;
    StageReport stageReport_;
    int pageCount_ = 0;
};
