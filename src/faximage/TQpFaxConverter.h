#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QImage>
#include <QObject>
#include <QString>

#include "faximage/core/FaxRaster.h"

class FaxConverterEngine;

// The converter component: turns a document (text, TIFF, PCX, DCX, BMP, a picture in
// memory or lines from the user's handlers) into an APF fax file. Failures are raised as
// the exception of their code (qpfax::EBadGraphicsFormat, qpfax::EConvertAbort, ...).
// Runs on the user interface thread.
class TQpFaxConverter : public QObject {
    Q_OBJECT

public:
    enum TFaxInputDocumentType { idNone, idText, idTiff, idPcx, idDcx, idBmp, idBitmap, idUser };
    // TFaxCvtOptions bits.
    enum TFaxCvtOption : unsigned {
        coDoubleWidth = 1,
        coHalfHeight = 2,
        coCenterImage = 4,
        coYield = 8,
        coYieldOften = 16
    };
    using TFaxCvtOptions = unsigned;
    enum TFaxResolution { frNormal, frHigh };
    enum TFaxWidth { fwNormal, fwWide };
    enum TFaxFont { ffStandard, ffSmall };

    // (Sender, Starting, Ending, PagesConverted, LinesConverted, BytesConverted,
    //  BytesToConvert, var Abort)
    using TFaxStatusEvent =
        std::function<void(TQpFaxConverter* sender, bool starting, bool ending, int pages,
                           int lines, std::uint32_t bytesConverted, std::uint32_t bytesToConvert,
                           bool& abort)>;
    // (Sender, Data, Len, EndOfPage, MorePages); published, not raised by conversion.
    using TFaxOutputLineEvent = std::function<void(TQpFaxConverter* sender,
                                                   const std::uint8_t* data, int length,
                                                   bool endOfPage, bool morePages)>;
    using TFaxOpenFileEvent = std::function<void(TQpFaxConverter* sender, const QString& name)>;
    using TFaxCloseFileEvent = std::function<void(TQpFaxConverter* sender)>;
    // Fills data with one raster line (MSB first, 1 = black) and sets length, end of page
    // and more pages.
    using TFaxReadLineEvent = std::function<void(TQpFaxConverter* sender, std::uint8_t* data,
                                                 int& length, bool& endOfPage, bool& morePages)>;

    explicit TQpFaxConverter(QObject* parent = nullptr);
    ~TQpFaxConverter() override;

    TFaxInputDocumentType InputDocumentType() const { return inputType_; }
    void SetInputDocumentType(TFaxInputDocumentType type) { inputType_ = type; }
    TFaxCvtOptions Options() const { return options_; }
    void SetOptions(TFaxCvtOptions options); // coYieldOften brings coYield along
    TFaxResolution Resolution() const { return resolution_; }
    void SetResolution(TFaxResolution resolution) { resolution_ = resolution; }
    TFaxWidth Width() const { return width_; }
    void SetWidth(TFaxWidth width) { width_ = width; }
    unsigned TopMargin() const { return topMargin_; }
    void SetTopMargin(unsigned lines) { topMargin_ = lines; }
    unsigned LeftMargin() const { return leftMargin_; }
    void SetLeftMargin(unsigned pixels) { leftMargin_ = pixels; }
    int LinesPerPage() const { return linesPerPage_; }
    void SetLinesPerPage(int lines) { linesPerPage_ = lines; }
    unsigned TabStop() const { return tabStop_; }
    void SetTabStop(unsigned columns) { tabStop_ = columns; }
    QString FontFile() const { return fontFile_; }
    void SetFontFile(const QString& name) { fontFile_ = name; }
    TFaxFont FontType() const { return fontType_; }
    void SetFontType(TFaxFont type) { fontType_ = type; }
    QString DocumentFile() const { return documentFile_; }
    // Also sets OutFileName to the document name with its extension changed to ".APF".
    void SetDocumentFile(const QString& name);
    QString OutFileName() const { return outFileName_; }
    void SetOutFileName(const QString& name) { outFileName_ = name; }
    QString DefUserExtension() const { return defUserExtension_; }
    void SetDefUserExtension(const QString& extension) { defUserExtension_ = extension; }
    QString StationID() const { return stationId_; }
    void SetStationID(const QString& id) { stationId_ = id; }

    TFaxStatusEvent OnStatus;
    TFaxOutputLineEvent OnOutputLine;
    TFaxOpenFileEvent OnOpenUserFile;
    TFaxCloseFileEvent OnCloseUserFile;
    TFaxReadLineEvent OnReadUserLine;

    // Converts DocumentFile into OutFileName. -1002 (EBadArgument) for idNone and idBitmap.
    void ConvertDocument();
    // Converts a monochrome picture (any QImage; converted to 1 bit when needed) into an
    // APF file of one page. A null picture fails with -1002.
    void ConvertBitmapToFile(const QString& outFileName, const QImage& bitmap);

    // A 1-bit raster (1 = black) of a picture; colours become black below mid-grey.
    static FaxRaster RasterFromImage(const QImage& image);

private:
    int BuildEngine(TFaxInputDocumentType type, FaxRaster picture);
    int Convert(const std::string& input, const std::string& output);
    int ConvertBmp();
    std::string DitherToTemporaryFile(const std::string& input);

    TFaxInputDocumentType inputType_ = idNone;
    TFaxCvtOptions options_ = coDoubleWidth | coCenterImage | coYield;
    TFaxResolution resolution_ = frNormal;
    TFaxWidth width_ = fwNormal;
    unsigned topMargin_ = 0;
    unsigned leftMargin_ = 50;
    int linesPerPage_ = 60;
    unsigned tabStop_ = 4;
    QString fontFile_ = QStringLiteral("QPFAX.FNT");
    TFaxFont fontType_ = ffStandard;
    QString documentFile_;
    QString outFileName_;
    QString defUserExtension_;
    QString stationId_;
    std::unique_ptr<FaxConverterEngine> engine_;
    TFaxInputDocumentType engineType_ = idNone;
};
