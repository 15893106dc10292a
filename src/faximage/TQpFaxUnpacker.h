#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QImage>
#include <QObject>
#include <QString>

#include "faximage/core/FaxUnpackerEngine.h"

// The unpacker component: decodes pages of an APF file for display and printing.
// Every operation first rebuilds the engine context from the properties; failures are
// raised as the exception of their code (qpfax::EFaxBadFormat, qpfax::EInOutError, ...).
// Runs on the user interface thread.
class TQpFaxUnpacker : public QObject {
    Q_OBJECT

public:
    // TUnpackerOptions bits.
    enum TUnpackerOption : unsigned { uoYield = 1, uoAbort = 2 };
    using TUnpackerOptions = unsigned;
    enum TAutoScaleMode { asNone, asDoubleHeight, asHalfWidth };

    // (Sender, Starting, Ending, Data, Len, PageNum)
    using TUnpackOutputLineEvent =
        std::function<void(TQpFaxUnpacker* sender, bool starting, bool ending,
                           const std::uint8_t* data, unsigned length, unsigned page)>;
    // (Sender, FName, PageNum, BytesUnpacked, BytesToUnpack)
    using TUnpackStatusEvent =
        std::function<void(TQpFaxUnpacker* sender, const QString& fileName, unsigned page,
                           std::uint32_t bytesUnpacked, std::uint32_t bytesToUnpack)>;

    explicit TQpFaxUnpacker(QObject* parent = nullptr);
    ~TQpFaxUnpacker() override;

    TUnpackerOptions Options() const { return options_; }
    void SetOptions(TUnpackerOptions options); // on a live context updates yield and abort
    bool WhitespaceCompression() const { return whitespaceCompression_; }
    void SetWhitespaceCompression(bool on) { whitespaceCompression_ = on; }
    unsigned WhitespaceFrom() const { return whitespaceFrom_; }
    void SetWhitespaceFrom(unsigned lines) { whitespaceFrom_ = lines; }
    unsigned WhitespaceTo() const { return whitespaceTo_; }
    void SetWhitespaceTo(unsigned lines) { whitespaceTo_ = lines; }
    bool Scaling() const { return scaling_; }
    void SetScaling(bool on) { scaling_ = on; }
    int HorizMult() const { return horizMult_; }
    void SetHorizMult(int value); // 0 is ignored
    int HorizDiv() const { return horizDiv_; }
    void SetHorizDiv(int value);
    int VertMult() const { return vertMult_; }
    void SetVertMult(int value);
    int VertDiv() const { return vertDiv_; }
    void SetVertDiv(int value);
    TAutoScaleMode AutoScaleMode() const { return autoScaleMode_; }
    void SetAutoScaleMode(TAutoScaleMode mode) { autoScaleMode_ = mode; }
    QString InFileName() const { return inFileName_; }
    // Also sets OutFileName to the name without extension when the name changes
    // (ignoring case).
    void SetInFileName(const QString& fileName);
    QString OutFileName() const { return outFileName_; }
    void SetOutFileName(const QString& fileName) { outFileName_ = fileName; }

    TUnpackOutputLineEvent OnOutputLine;
    TUnpackStatusEvent OnStatus;

    // The page count in the file header of InFileName.
    int PageCount();
    bool FirstPageIsFine();
    bool FirstPageIsWide();
    // Decodes a page (from 1) into a picture of format Mono (colour 0 white, 1 black);
    // an empty page gives a null image.
    QImage DecodePageToBitmap(int page);

    // The engine context of the last operation (for callers that drive it directly).
    FaxUnpackerEngine* Engine() const { return engine_.get(); }

    // A Mono image (index 0 white, 1 black) holding the raster's bits.
    static QImage ImageFromRaster(const FaxRaster& raster);

private:
    void PrepareEngine();
    std::string FileName() const;

    TUnpackerOptions options_ = uoYield;
    bool whitespaceCompression_ = false;
    unsigned whitespaceFrom_ = 0;
    unsigned whitespaceTo_ = 0;
    bool scaling_ = false;
    int horizMult_ = 1, horizDiv_ = 1, vertMult_ = 1, vertDiv_ = 1;
    TAutoScaleMode autoScaleMode_ = asDoubleHeight;
    QString inFileName_;
    QString outFileName_;
    std::unique_ptr<FaxUnpackerEngine> engine_;
};
