#include "app/TFaxFileBuilder.h"

#include "common/DataFolder.h"
#include "common/EQPException.h"
#include "common/ErrorText.h"
#include "faximage/TQpFaxConverter.h"
#include "richtext/RichTextTransfer.h"
#include "richtext/TQpRichText.h"
#include "store/TTableAdapter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {

constexpr int ApfHeaderSize = 64;
constexpr int ApfPageCountOffset = 32;
constexpr int ApfFirstPageOffset = 34;
constexpr int ApfPageHeaderSize = 16;
constexpr std::size_t CopyBlock = 4096;
const QString BitmapFileName = QStringLiteral("_TMP.BMP");
const QString CreatingFaxFile = QStringLiteral("Creating fax file");

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

QString Data() {
    return QString::fromStdString(DataFolder());
}

[[noreturn]] void FailFile(int code, const QString& fileName, const char* fallback) {
    throw EQPException(code, qp::ErrorTextOr(code, fallback) + " (" + fileName.toStdString() + ")");
}

FileHandle OpenFile(const QString& fileName, const char* mode) {
    FileHandle file(std::fopen(QFile::encodeName(fileName).constData(), mode), &std::fclose);
    if (!file) {
        FailFile(TFaxFileBuilder::FileNotFound, fileName, "File not found");
    }
    return file;
}

std::uint16_t Word(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t Long(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void ReadExactly(std::FILE* file, std::uint8_t* into, std::size_t size, const QString& name) {
    if (std::fread(into, 1, size, file) != size) {
        FailFile(TFaxFileBuilder::ReadFault, name, "Disk read error");
    }
}

void SeekTo(std::FILE* file, long offset, const QString& name) {
    if (offset < 0 || std::fseek(file, offset, SEEK_SET) != 0) {
        FailFile(TFaxFileBuilder::ReadFault, name, "Disk read error");
    }
}

long FileSize(std::FILE* file, const QString& name) {
    if (std::fseek(file, 0, SEEK_END) != 0) {
        FailFile(TFaxFileBuilder::ReadFault, name, "Disk read error");
    }
    return std::ftell(file);
}

// Walks the target's pages from its first one; returns the offset just past its last
// page. A page that reaches past the end of the file is a damaged file: appending
// behind it would bury the new pages where no reader finds them.
long EndOfLastPage(std::FILE* file, const std::uint8_t* header, const QString& name) {
    const long size = FileSize(file, name);
    long position = static_cast<long>(Long(header + ApfFirstPageOffset));
    for (int page = 0; page < Word(header + ApfPageCountOffset); ++page) {
        std::array<std::uint8_t, ApfPageHeaderSize> pageHeader{};
        SeekTo(file, position, name);
        ReadExactly(file, pageHeader.data(), pageHeader.size(), name);
        position += ApfPageHeaderSize + static_cast<long>(Long(pageHeader.data()));
        if (position > size) {
            FailFile(TFaxFileBuilder::ReadFault, name, "Disk read error");
        }
    }
    return position;
}

void CopyRest(std::FILE* source, std::FILE* target, const QString& sourceName,
              const QString& targetName) {
    std::array<std::uint8_t, CopyBlock> buffer{};
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), source);
        if (got > 0 && std::fwrite(buffer.data(), 1, got, target) != got) {
            FailFile(TFaxFileBuilder::WriteFault, targetName, "Disk write error");
        }
        if (got < buffer.size()) {
            if (std::ferror(source)) {
                FailFile(TFaxFileBuilder::ReadFault, sourceName, "Disk read error");
            }
            return;
        }
    }
}

} // namespace

TFaxFileBuilder::TFaxFileBuilder(TQpRichText& cover, TQpRichText& document,
                                 TQpFaxConverter& converter)
    : cover_(cover), document_(document), converter_(converter) {}

void TFaxFileBuilder::ReportStage(const QString& text) const {
    if (stageReport_) {
        stageReport_(text);
    }
    QCoreApplication::processEvents();
}

QString TFaxFileBuilder::Build(TTableAdapter& faxTable) {
    LoadRichText(cover_, "RTFCOVER", faxTable);
    LoadRichText(document_, "RTFDOC", faxTable);
    const bool noCover = IsRichTextEmpty(cover_);
    const bool noDocument = IsRichTextEmpty(document_);
    if (noCover && noDocument) {
        return {};
    }
    QStringList pages;
    ReportStage(CreatingFaxFile + QStringLiteral("...."));
    if (!noCover) {
        RenderRichTextToFax(cover_, pages);
    }
    if (!noDocument) {
        RenderRichTextToFax(document_, pages);
    }
    pageCount_ = static_cast<int>(pages.size());
    ReportStage(CreatingFaxFile + QStringLiteral("........"));
    return JoinFaxFiles(pages);
}

bool TFaxFileBuilder::IsRichTextEmpty(const TQpRichText& editor) {
    if (editor.IsEmpty()) {
        return true;
    }
    if (editor.CharCount() > MostCharsOfEmptyText) {
        return false;
    }
    const int lines = std::min(editor.LineCount(), LinesCheckedForEmpty);
    for (int line = 0; line < lines; ++line) {
        if (!editor.LineText(line).trimmed().isEmpty()) {
            return false;
        }
    }
    return true;
}

int TFaxFileBuilder::FaxZoom(double screenDpi) {
    if (screenDpi <= 0) {
        screenDpi = 96;
    }
    return static_cast<int>(200.0 / screenDpi * 100.0);
}

QImage TFaxFileBuilder::ToMonochrome(const QImage& page) {
    const QImage gray = page.convertToFormat(QImage::Format_Grayscale8);
    QImage mono(gray.size(), QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    const int width = gray.width();
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* in = gray.constScanLine(y);
        uchar* out = mono.scanLine(y);
        for (int byte = 0; byte * 8 < width; ++byte) {
            uchar bits = 0;
            const int first = byte * 8;
            const int last = std::min(first + 8, width);
            for (int x = first; x < last; ++x) {
                if (in[x] < 128) {
                    bits |= static_cast<uchar>(0x80 >> (x - first));
                }
            }
            out[byte] = bits;
        }
    }
    return mono;
}

QString TFaxFileBuilder::ConvertPage(const QImage& page, const QString& pageFile) {
    const QString bitmapFile = Data() + BitmapFileName;
    if (!ToMonochrome(page).save(bitmapFile, "BMP")) {
        FailFile(WriteFault, bitmapFile, "Disk write error");
    }
    QCoreApplication::processEvents();
    converter_.SetDocumentFile(bitmapFile);
    converter_.SetInputDocumentType(TQpFaxConverter::idBmp);
    converter_.SetOutFileName(pageFile);
    converter_.ConvertDocument();
    return pageFile;
}

void TFaxFileBuilder::RenderRichTextToFax(TQpRichText& editor, QStringList& pages) {
    const QString firstName = FirstFreeFaxName();
    int pageNumber = static_cast<int>(pages.size());
    // Painted in grey levels (anti-aliased text), then cut to black and white at
    // mid-grey for the converter.
    QImage page(PageWidth, PageHeight, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QScreen* screen = QGuiApplication::primaryScreen();
    editor.SetZoom(FaxZoom(screen ? screen->logicalDotsPerInchY() : 96.0));
    converter_.SetOptions(TQpFaxConverter::coYield);
    converter_.SetResolution(TQpFaxConverter::frHigh);
    editor.SetRenderOptions(TQpRichText::roFaxPage);
    const QRect textArea(QPoint(PageMargin, PageMargin),
                         QPoint(PageWidth - PageMargin - 1, PageHeight - PageMargin - 1));

    struct RemoveBitmap {
        ~RemoveBitmap() { QFile::remove(Data() + BitmapFileName); }
    } removeBitmap;
    int position = 0;
    for (;;) {
        int next = 0;
        {
            QPainter painter(&page);
            next = editor.RenderPage(painter, position, textArea);
        }
        ++pageNumber;
        const QString pageFile =
            pages.isEmpty() ? firstName : Data() + QStringLiteral("QPXAX%1.APF").arg(pageNumber);
        // The last pixel keeps every page full height through the converter, which
        // leaves off white lines at the bottom.
        page.setPixel(PageWidth - 1, PageHeight - 1, qRgb(0, 0, 0));
        pages << ConvertPage(page, pageFile);
        page.fill(Qt::white);
        // A layout that makes no progress would never end.
        if (next <= position) {
            break;
        }
        position = next;
    }
}

QString TFaxFileBuilder::FirstFreeFaxName() {
    for (int number = 1; number <= HighestFaxNumber; ++number) {
        const QString name = Data() + QStringLiteral("QPX_%1.APF").arg(number);
        if (!QFile::exists(name)) {
            return name;
        }
    }
    return Data() + QStringLiteral("QPX1.APF");
}

QString TFaxFileBuilder::JoinFaxFiles(const QStringList& pages) {
    if (pages.isEmpty()) {
        return {};
    }
    for (qsizetype index = 1; index < pages.size(); ++index) {
        AppendFaxFile(pages.front(), pages[index]);
    }
    for (qsizetype index = 1; index < pages.size(); ++index) {
        QFile::remove(pages[index]);
    }
    return pages.front();
}

void TFaxFileBuilder::AppendFaxFile(const QString& target, const QString& source) {
    if (!QFile::exists(target)) {
        FailFile(FileNotFound, target, "File not found");
    }
    if (!QFile::exists(source)) {
        FailFile(FileNotFound, source, "File not found");
    }
    FileHandle out = OpenFile(target, "r+b");
    std::array<std::uint8_t, ApfHeaderSize> targetHeader{};
    ReadExactly(out.get(), targetHeader.data(), targetHeader.size(), target);
    const long end = EndOfLastPage(out.get(), targetHeader.data(), target);

    FileHandle in = OpenFile(source, "rb");
    std::array<std::uint8_t, ApfHeaderSize> sourceHeader{};
    ReadExactly(in.get(), sourceHeader.data(), sourceHeader.size(), source);
    SeekTo(in.get(), static_cast<long>(Long(sourceHeader.data() + ApfFirstPageOffset)), source);

    const unsigned pageCount = Word(targetHeader.data() + ApfPageCountOffset) +
                               Word(sourceHeader.data() + ApfPageCountOffset);
    if (pageCount > 0xFFFF) {
        FailFile(WriteFault, target, "Disk write error");
    }
    SeekTo(out.get(), end, target);
    CopyRest(in.get(), out.get(), source, target);
    targetHeader[ApfPageCountOffset] = static_cast<std::uint8_t>(pageCount & 0xFF);
    targetHeader[ApfPageCountOffset + 1] = static_cast<std::uint8_t>(pageCount >> 8);
    SeekTo(out.get(), 0, target);
    if (std::fwrite(targetHeader.data(), 1, targetHeader.size(), out.get()) !=
            targetHeader.size() ||
        std::fflush(out.get()) != 0) {
        FailFile(WriteFault, target, "Disk write error");
    }
}
