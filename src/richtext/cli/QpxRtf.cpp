#include "richtext/cli/QpxRtf.h"

#include "richtext/TQpRichText.h"
#include "common/CodePage1252.h"
#include "richtext/core/TRtfReader.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <cstdio>
#include <iostream>
#include <memory>

namespace {

constexpr int kMaxPages = 10000;

void PrintUsage(std::ostream& out = std::cerr) {
    out << "usage: qpx rtf totext FILE\n"
           "       qpx rtf roundtrip FILE\n"
           "       qpx rtf render FILE -o PREFIX [--png]\n";
}

bool ReadFile(const std::string& name, QByteArray& contents) {
    QFile file(QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "qpx rtf: cannot read " << name << "\n";
        return false;
    }
    contents = file.readAll();
    return true;
}

// Widgets need an application object; the command line has no screen of its own.
std::unique_ptr<QApplication> EnsureApplication() {
    if (QCoreApplication::instance()) {
        return nullptr;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "qpx";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QApplication>(argc, argv);
}

int ToText(const std::string& fileName) {
    QByteArray rtf;
    if (!ReadFile(fileName, rtf)) {
        return 1;
    }
    const TRtfDocument document = TRtfReader::Read(std::string_view(rtf.constData(), rtf.size()));
    std::cout << ToUtf8(document.PlainText()) << "\n";
    return 0;
}

int RoundTrip(const std::string& fileName) {
    QByteArray rtf;
    if (!ReadFile(fileName, rtf)) {
        return 1;
    }
    const auto application = EnsureApplication();
    TQpRichText editor;
    editor.SetRtf(rtf);
    const QByteArray written = editor.Rtf();
    std::fwrite(written.constData(), 1, written.size(), stdout);
    return 0;
}

int Render(const std::string& fileName, const std::string& prefix, bool png) {
    QByteArray rtf;
    if (!ReadFile(fileName, rtf)) {
        return 1;
    }
    const auto application = EnsureApplication();
    TQpRichText editor;
    editor.SetRtf(rtf);
    const QList<QImage> pages = RenderFaxPages(editor);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QString name = QString::fromStdString(prefix) +
                             QString("%1").arg(i + 1, 3, 10, QChar('0')) + (png ? ".png" : ".pbm");
        if (!pages[i].save(name, png ? "PNG" : "PBM")) {
            std::cerr << "qpx rtf: cannot write " << name.toStdString() << "\n";
            return 1;
        }
        std::cout << name.toStdString() << "\n";
    }
    return 0;
}

} // namespace

QImage ToMonochrome(const QImage& page) {
    const QImage source =
        page.format() == QImage::Format_RGB32 ? page : page.convertToFormat(QImage::Format_RGB32);
    QImage mono(source.size(), QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uchar* out = mono.scanLine(y);
        const int width = source.width();
        for (int byte = 0; byte * 8 < width; ++byte) {
            uchar bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int x = byte * 8 + bit;
                if (x < width && qGray(in[x]) < 128) {
                    bits |= 0x80 >> bit;
                }
            }
            out[byte] = bits;
        }
    }
    return mono;
}

QList<QImage> RenderFaxPages(TQpRichText& editor) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    editor.SetZoom(static_cast<int>(200.0 / dpi * 100));
    editor.SetRenderOptions(TQpRichText::roFaxPage);
    const QRect rect(
        QPoint(kFaxPageMargin, kFaxPageMargin),
        QPoint(kFaxPageWidth - kFaxPageMargin - 1, kFaxPageHeight - kFaxPageMargin - 1));
    QList<QImage> pages;
    int position = 0;
    do {
        QImage page(kFaxPageWidth, kFaxPageHeight, QImage::Format_RGB32);
        page.fill(Qt::white);
        int next = 0;
        {
            QPainter painter(&page);
            next = editor.RenderPage(painter, position, rect);
        }
        page.setPixel(kFaxPageWidth - 1, kFaxPageHeight - 1, qRgb(0, 0, 0));
        pages << ToMonochrome(page);
        if (next <= position) {
            break; // finished (or no progress, which would never end)
        }
        position = next;
    } while (pages.size() < kMaxPages);
    return pages;
}

int QpxRtf(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        PrintUsage(std::cout);
        return 0;
    }
    if (args.size() == 2 && args[0] == "totext") {
        return ToText(args[1]);
    }
    if (args.size() == 2 && args[0] == "roundtrip") {
        return RoundTrip(args[1]);
    }
    if ((args.size() == 4 || args.size() == 5) && args[0] == "render" && args[2] == "-o") {
        const bool png = args.size() == 5 && args[4] == "--png";
        if (args.size() == 5 && !png) {
            PrintUsage();
            return 2;
        }
        return Render(args[1], args[3], png);
    }
    PrintUsage();
    return 2;
}
