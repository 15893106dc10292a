// qpx apf render FILE --page N -o OUT.pbm|OUT.png: a decoded page as a picture file.
#include <iostream>

#include <QImage>

#include "faximage/TQpFaxUnpacker.h"
#include "faximage/cli/ApfCommand.h"
#include "faximage/cli/CommandArgs.h"

namespace {

// "HM/HD,VM/VD" or "HM/HD".
bool ParseScale(const std::string& text, int factors[4]) {
    int read = std::sscanf(text.c_str(), "%d/%d,%d/%d", &factors[0], &factors[1], &factors[2],
                           &factors[3]);
    if (read == 2) {
        factors[2] = factors[3] = 1;
        return true;
    }
    return read == 4;
}

} // namespace

int ApfRender(const std::vector<std::string>& args) {
    CommandArgs options(args, {});
    const auto out = options.Value("-o");
    if (!options.Ok() || options.Positional().size() != 1 || !out) {
        std::cerr << "usage: qpx apf " << ApfSubcommands()[2].usage << "\n";
        return 2;
    }
    TQpFaxUnpacker unpacker;
    unpacker.SetInFileName(QString::fromStdString(options.Positional()[0]));
    const std::string mode = options.Value("--autoscale").value_or("double-height");
    if (mode == "none") {
        unpacker.SetAutoScaleMode(TQpFaxUnpacker::asNone);
    } else if (mode == "half-width") {
        unpacker.SetAutoScaleMode(TQpFaxUnpacker::asHalfWidth);
    } else if (mode != "double-height") {
        std::cerr << "qpx apf render: unknown --autoscale '" << mode << "'\n";
        return 2;
    }
    if (const auto scale = options.Value("--scale")) {
        int factors[4] = {1, 1, 1, 1};
        if (!ParseScale(*scale, factors)) {
            std::cerr << "qpx apf render: --scale needs HM/HD,VM/VD\n";
            return 2;
        }
        unpacker.SetScaling(true);
        unpacker.SetHorizMult(factors[0]);
        unpacker.SetHorizDiv(factors[1]);
        unpacker.SetVertMult(factors[2]);
        unpacker.SetVertDiv(factors[3]);
    }
    if (const auto whitespace = options.Value("--whitespace")) {
        unsigned from = 0, to = 0;
        if (std::sscanf(whitespace->c_str(), "%u:%u", &from, &to) != 2) {
            std::cerr << "qpx apf render: --whitespace needs FROM:TO\n";
            return 2;
        }
        unpacker.SetWhitespaceCompression(true);
        unpacker.SetWhitespaceFrom(from);
        unpacker.SetWhitespaceTo(to);
    }
    const long page = options.Number("--page", 1);
    if (!options.Ok()) {
        std::cerr << "qpx apf render: " << options.Error() << "\n";
        return 2;
    }
    const QImage image = unpacker.DecodePageToBitmap(static_cast<int>(page));
    if (image.isNull()) {
        std::cerr << "qpx apf render: page " << page << " is empty\n";
        return 3;
    }
    if (!image.save(QString::fromStdString(*out))) {
        std::cerr << "qpx apf render: cannot write " << *out << "\n";
        return 1;
    }
    std::cout << image.width() << " x " << image.height() << "\n";
    return 0;
}
