// qpx apf info FILE: the header fields and, per page, flags, image length and line count.
#include <cstdio>
#include <iostream>

#include "common/ErrorText.h"
#include "faximage/cli/ApfCommand.h"
#include "faximage/core/ApfReader.h"
#include "faximage/core/FaxUnpackerEngine.h"

namespace {

int Fail(const std::string& what, int code) {
    std::cerr << "qpx apf " << what << ": " << qp::ErrorTextOr(code, "error " + std::to_string(code))
              << " (" << code << ")\n";
    return 1;
}

std::string FormatTime(std::uint32_t packed) {
    if (packed == 0) {
        return "none";
    }
    const std::tm time = ApfFileHeader::UnpackDosTime(packed);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

std::string FlagText(const ApfPageHeader& page) {
    std::string text = page.IsFine() ? "fine" : "standard";
    text += page.IsWide() ? ", wide (2048)" : ", normal (1728)";
    text += page.HasLineRecords() ? ", line records" : ", raw stream";
    return text;
}

} // namespace

int ApfInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "usage: qpx apf info FILE.APF\n";
        return 2;
    }
    const std::string& fileName = args[0];
    ApfReader reader;
    int result = reader.Open(fileName);
    if (result != 0) {
        return Fail("info", result);
    }
    const ApfFileHeader& header = reader.Header();
    std::cout << "file: " << fileName << "\n"
              << "signature: APF10\n"
              << "created: " << FormatTime(header.creationTime) << "\n"
              << "station ID: \"" << header.stationId << "\"\n"
              << "pages: " << header.pageCount << "\n"
              << "first page offset: " << header.firstPageOffset << "\n";
    FaxUnpackerEngine engine;
    engine.SetFlags(0);
    engine.SetAspectCorrection(false);
    unsigned lines = 0;
    engine.SetOutputLine([&lines](FaxUnpackerEngine::LineKind kind, const std::uint8_t*, unsigned,
                                  unsigned) {
        lines += kind == FaxUnpackerEngine::LineKind::Line ? 1 : 0;
        return 0;
    });
    int status = 0;
    for (unsigned page = 1; page <= header.pageCount; ++page) {
        ApfPageHeader pageHeader;
        result = reader.FindPage(page, pageHeader);
        if (result != 0) {
            std::cout << "page " << page << ": " << qp::ErrorTextOr(result, "error") << " ("
                      << result << ")\n";
            status = 1;
            break;
        }
        lines = 0;
        result = engine.UnpackPage(fileName, page);
        std::cout << "page " << page << ": flags " << pageHeader.flags << " (" << FlagText(pageHeader)
                  << "), image length " << pageHeader.imageLength << ", lines " << lines;
        if (engine.InvalidCodes() != 0) {
            std::cout << ", invalid codes " << engine.InvalidCodes();
        }
        if (result != 0) {
            std::cout << ", " << qp::ErrorTextOr(result, "error") << " (" << result << ")";
            status = 1;
        }
        std::cout << "\n";
    }
    return status;
}
