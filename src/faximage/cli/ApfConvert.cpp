// qpx apf convert INPUT -o OUT.APF [options]: runs the converter component.
#include <algorithm>
#include <iostream>

#include <QFileInfo>

#include "faximage/TQpFaxConverter.h"
#include "faximage/cli/ApfCommand.h"
#include "faximage/cli/CommandArgs.h"

namespace {

bool InputTypeFor(const std::string& name, TQpFaxConverter::TFaxInputDocumentType& type) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    if (lower == "text" || lower == "txt") {
        type = TQpFaxConverter::idText;
    } else if (lower == "tiff" || lower == "tif") {
        type = TQpFaxConverter::idTiff;
    } else if (lower == "pcx") {
        type = TQpFaxConverter::idPcx;
    } else if (lower == "dcx") {
        type = TQpFaxConverter::idDcx;
    } else if (lower == "bmp") {
        type = TQpFaxConverter::idBmp;
    } else {
        return false;
    }
    return true;
}

} // namespace

int ApfConvert(const std::vector<std::string>& args) {
    CommandArgs options(args, {"--fine", "--wide"});
    if (!options.Ok() || options.Positional().size() != 1) {
        std::cerr << "usage: qpx apf "
                  << ApfSubcommands()[1].usage << "\n"
                  << (options.Ok() ? "" : options.Error() + "\n");
        return 2;
    }
    const std::string input = options.Positional()[0];
    TQpFaxConverter converter;
    TQpFaxConverter::TFaxInputDocumentType type = TQpFaxConverter::idNone;
    const std::string typeName =
        options.Value("--type").value_or(QFileInfo(QString::fromStdString(input)).suffix().toStdString());
    if (!InputTypeFor(typeName, type)) {
        std::cerr << "qpx apf convert: unknown input type '" << typeName
                  << "' (use --type text|tiff|pcx|dcx|bmp)\n";
        return 2;
    }
    converter.SetInputDocumentType(type);
    converter.SetDocumentFile(QString::fromStdString(input));
    if (const auto out = options.Value("-o")) {
        converter.SetOutFileName(QString::fromStdString(*out));
    }
    converter.SetResolution(options.Has("--fine") ? TQpFaxConverter::frHigh
                                                  : TQpFaxConverter::frNormal);
    converter.SetWidth(options.Has("--wide") ? TQpFaxConverter::fwWide : TQpFaxConverter::fwNormal);
    converter.SetLeftMargin(static_cast<unsigned>(options.Number("--left-margin", 50)));
    converter.SetTopMargin(static_cast<unsigned>(options.Number("--top-margin", 0)));
    converter.SetLinesPerPage(static_cast<int>(options.Number("--lines-per-page", 60)));
    converter.SetTabStop(static_cast<unsigned>(options.Number("--tab-stop", 4)));
    converter.SetOptions(static_cast<unsigned>(options.Number("--options", 13)));
    const std::string font = options.Value("--font").value_or("standard");
    converter.SetFontType(font == "small" ? TQpFaxConverter::ffSmall : TQpFaxConverter::ffStandard);
    converter.SetStationID(QString::fromStdString(options.Value("--station").value_or("")));
    if (!options.Ok()) {
        std::cerr << "qpx apf convert: " << options.Error() << "\n";
        return 2;
    }
    converter.ConvertDocument();
    std::cout << converter.OutFileName().toStdString() << "\n";
    return 0;
}
