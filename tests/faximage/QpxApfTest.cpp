// "qpx apf": convert a text file, list it, render a page and export TIFF class F that
// libtiff's tools and netpbm read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "FaxTestSupport.h"
#include "TestPaths.h"

using namespace faxtest;

namespace {

std::string Qpx() {
    return (qptest::BinaryDir() / "bin" / "qpx").string();
}

int Shell(const std::string& command, std::string* output = nullptr) {
    return qptest::RunCommand(command, output);
}

int BlackPixels(const FaxRaster& raster) {
    int count = 0;
    for (int y = 0; y < raster.Height(); ++y) {
        for (int x = 0; x < raster.Width(); ++x) {
            count += raster.Pixel(x, y);
        }
    }
    return count;
}

} // namespace

TEST(QpxApf, ConvertInfoRenderAndTiff) {
    qptest::ScratchDir dir;
    WriteText(dir.file("memo.txt"), "To: Quillpost\nFrom: qpx\n\fSecond page\n");
    const std::string apf = dir.file("memo.apf");
    ASSERT_EQ(Shell(Qpx() + " apf convert " + dir.file("memo.txt") + " -o " + apf +
                    " --fine --station 'QPX 1' --left-margin 0"),
              0);

    std::string info;
    ASSERT_EQ(Shell(Qpx() + " apf info " + apf, &info), 0) << info;
    EXPECT_NE(info.find("station ID: \"QPX 1\""), std::string::npos) << info;
    EXPECT_NE(info.find("pages: 2"), std::string::npos) << info;
    EXPECT_NE(info.find("page 1: flags 5 (fine, normal (1728), line records)"), std::string::npos)
        << info;
    EXPECT_NE(info.find("lines 96"), std::string::npos)
        << info; // the empty text before the form feed is a line

    ASSERT_EQ(Shell(Qpx() + " apf render " + apf + " --page 2 -o " + dir.file("p2.pbm")), 0);
    ASSERT_EQ(Shell(Qpx() + " apf render " + apf + " --page 2 -o " + dir.file("p2.png")), 0);
    const FaxRaster page2 = ReadPbm(dir.file("p2.pbm"));
    EXPECT_EQ(page2.Height(), 32);
    EXPECT_GT(BlackPixels(page2), 200);
    EXPECT_EQ(Shell("pngtopnm " + dir.file("p2.png") + " > /dev/null"), 0);

    std::string error;
    EXPECT_NE(Shell(Qpx() + " apf render " + apf + " --page 3 -o " + dir.file("p3.pbm"), &error),
              0);
    EXPECT_NE(error.find("File is not an APF file"), std::string::npos) << error;

    const std::string tif = dir.file("memo.tif");
    ASSERT_EQ(Shell(Qpx() + " apf totiff " + apf + " -o " + tif), 0);
    std::string tiffInfo;
    ASSERT_EQ(Shell("tiffinfo " + tif, &tiffInfo), 0);
    EXPECT_NE(tiffInfo.find("CCITT Group 3"), std::string::npos) << tiffInfo;
    EXPECT_NE(tiffInfo.find("lsb-to-msb"), std::string::npos) << tiffInfo;
    EXPECT_NE(tiffInfo.find("204, 196 pixels/inch"), std::string::npos) << tiffInfo;
    // netpbm decodes the second page to the same ink as our own renderer.
    ASSERT_EQ(Shell("{ tifftopnm -byrow " + tif + " > " + dir.file("t1.pbm") + "; } 2>/dev/null"),
              0);
    ASSERT_EQ(Shell("{ tiffsplit " + tif + " " + dir.file("split") + "; tifftopnm " +
                    dir.file("splitaab.tif") + " > " + dir.file("t2.pbm") + "; } 2>/dev/null"),
              0);
    const FaxRaster tiffPage2 = ReadPbm(dir.file("t2.pbm"));
    EXPECT_EQ(tiffPage2.Width(), 1728);
    EXPECT_EQ(tiffPage2.Height(), 32);
    EXPECT_EQ(BlackPixels(tiffPage2), BlackPixels(page2));
}

TEST(QpxApf, ManyEmptyPages) {
    // A header claiming thousands of empty pages of line records without end-of-page
    // records: every page is listed and exported as one blank row, none reads into the
    // next; a TIFF that cannot be written leaves no file behind.
    qptest::ScratchDir dir;
    std::vector<ApfPage> pages(3000, ApfPage{5, {}});
    WriteFile(dir.file("empty.apf"), MakeApf(pages));
    std::string info;
    ASSERT_EQ(Shell(Qpx() + " apf info " + dir.file("empty.apf"), &info), 0) << info;
    EXPECT_NE(info.find("pages: 3000"), std::string::npos);
    EXPECT_NE(info.find("page 3000: flags 5 (fine, normal (1728), line records), image length 0, "
                        "lines 0\n"),
              std::string::npos);
    EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 6 + 3000);

    const std::string tif = dir.file("empty.tif");
    std::string output;
    ASSERT_EQ(Shell(Qpx() + " apf totiff " + dir.file("empty.apf") + " -o " + tif, &output), 0);
    EXPECT_NE(output.find("3000 page(s) written"), std::string::npos) << output;
    std::string tiffInfo;
    ASSERT_EQ(Shell("tiffinfo " + tif + " 2>&1", &tiffInfo), 0);
    std::size_t directories = 0;
    for (std::size_t at = tiffInfo.find("Image Length: 1\n"); at != std::string::npos;
         at = tiffInfo.find("Image Length: 1\n", at + 1)) {
        ++directories;
    }
    EXPECT_EQ(directories, 3000u);

    const std::string unwritable = dir.file("missing-folder") + "/x.tif";
    output.clear();
    EXPECT_EQ(Shell(Qpx() + " apf totiff " + dir.file("empty.apf") + " -o " + unwritable, &output),
              1);
    EXPECT_NE(output.find("cannot create"), std::string::npos) << output;
    Bytes broken = MakeApf({{5, {}}, {4, Records({Bytes(10, 0)})}});
    broken.resize(broken.size() - 4); // the second page ends inside its record
    WriteFile(dir.file("broken.apf"), broken);
    output.clear();
    EXPECT_EQ(Shell(Qpx() + " apf totiff " + dir.file("broken.apf") + " -o " + dir.file("b.tif"),
                    &output),
              1);
    EXPECT_NE(output.find("Attempt to read beyond end of file"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.tif"))) << "no half-written TIFF";
}

TEST(QpxApf, BadInputGivesItsMessage) {
    qptest::ScratchDir dir;
    WriteText(dir.file("junk.apf"), "this is not a fax");
    std::string output;
    EXPECT_NE(Shell(Qpx() + " apf info " + dir.file("junk.apf"), &output), 0);
    EXPECT_NE(output.find("File is not an APF file (-8001)"), std::string::npos) << output;
    WriteText(dir.file("junk.pcx"), "not a picture");
    output.clear();
    EXPECT_NE(
        Shell(Qpx() + " apf convert " + dir.file("junk.pcx") + " -o " + dir.file("j.apf"), &output),
        0);
    EXPECT_NE(output.find("Unsupported graphics file format"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(Shell(Qpx() + " apf nonsense", &output), 2);
}
