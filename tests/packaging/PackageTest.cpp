// The Debian package as a user gets it: built with CPack, unpacked into a scratch root
// (dpkg -x) and run from there; its menu entry, metainfo and fax file type pass their
// checkers, and lintian finds no errors. The package is built once for all tests.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include "TestPaths.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        work_ = new qptest::ScratchDir("package");
        const fs::path config = qptest::BinaryDir() / "CPackConfig.cmake";
        std::string output;
        buildStatus_ = qptest::RunCommand(
            "cpack --config " + Quoted(config) + " -B " + Quoted(work_->path() / "out"), &output);
        buildOutput_ = output;
        for (const auto& entry : fs::directory_iterator(work_->path() / "out")) {
            if (entry.path().extension() == ".deb") {
                package_ = entry.path();
            }
        }
        root_ = work_->path() / "root";
        if (!package_.empty()) {
            qptest::RunCommand("dpkg -x " + Quoted(package_) + " " + Quoted(root_));
        }
    }
    static void TearDownTestSuite() {
        delete work_;
        work_ = nullptr;
    }

    void SetUp() override {
        ASSERT_EQ(buildStatus_, 0) << buildOutput_;
        ASSERT_FALSE(package_.empty()) << buildOutput_;
    }

    // Runs an installed program with the test's data folder and no screen; a view window
    // writes its first page into `snapshot` and ends.
    static int RunInstalled(const std::string& commandLine, std::string* output,
                            const fs::path& snapshot = {}) {
        if (output) {
            output->clear();
        }
        std::string environment = "QT_QPA_PLATFORM=offscreen ";
        if (!snapshot.empty()) {
            environment += "QUILLPOST_VIEW_SNAPSHOT=" + Quoted(snapshot) + " ";
        }
        return qptest::RunCommand(environment + Quoted(root_ / "usr" / "bin") + "/" + commandLine,
                                  output);
    }

    static qptest::ScratchDir* work_;
    static int buildStatus_;
    static std::string buildOutput_;
    static fs::path package_;
    static fs::path root_;
};

qptest::ScratchDir* PackageTest::work_ = nullptr;
int PackageTest::buildStatus_ = -1;
std::string PackageTest::buildOutput_;
fs::path PackageTest::package_;
fs::path PackageTest::root_;

} // namespace

TEST_F(PackageTest, NameDependenciesAndContents) {
    EXPECT_TRUE(std::regex_match(package_.filename().string(),
                                 std::regex(R"(quillpost_\d+\.\d+\.\d+-1_[a-z0-9]+\.deb)")))
        << package_;
    std::string fields; // RunCommand adds to what the string holds
    ASSERT_EQ(qptest::RunCommand("dpkg-deb -f " + Quoted(package_) + " Depends", &fields), 0);
    // Found by dpkg-shlibdeps from the programs; the window-system plugins and the fonts
    // behind the Windows font names that documents are laid out in.
    EXPECT_NE(fields.find("libqt6widgets6"), std::string::npos) << fields;
    EXPECT_NE(fields.find("libc6"), std::string::npos) << fields;
    EXPECT_NE(fields.find("qt6-qpa-plugins"), std::string::npos) << fields;
    EXPECT_NE(fields.find("fonts-liberation"), std::string::npos) << fields;
    for (const char* file :
         {"usr/bin/quillpost", "usr/bin/qpx", "usr/share/quillpost/qpx.dct",
          "usr/share/applications/org.quillpost.Quillpost.desktop",
          "usr/share/metainfo/org.quillpost.Quillpost.metainfo.xml",
          "usr/share/mime/packages/org.quillpost.Quillpost.xml",
          "usr/share/icons/hicolor/scalable/apps/org.quillpost.Quillpost.svg",
          "usr/share/icons/hicolor/48x48/apps/org.quillpost.Quillpost.png",
          "usr/share/icons/hicolor/256x256/apps/org.quillpost.Quillpost.png",
          "usr/share/man/man1/quillpost.1.gz", "usr/share/man/man1/qpx.1.gz",
          "usr/share/doc/quillpost/copyright", "usr/share/doc/quillpost/changelog.Debian.gz"}) {
        EXPECT_TRUE(fs::is_regular_file(root_ / file)) << file;
    }
}

// The installed tool finds the files it ships with below its own prefix and keeps its
// data in the user's folder, never beside the program, even for a user who may write
// there.
TEST_F(PackageTest, InstalledQpxRunsAndFindsItsFiles) {
    std::string output;
    ASSERT_EQ(RunInstalled("qpx --version", &output), 0) << output;
    EXPECT_TRUE(std::regex_match(output, std::regex("qpx \\(Quillpost\\) \\d+\\.\\d+\\.\\d+\n")))
        << output;

    const fs::path home = work_->path() / "home";
    fs::create_directories(home);
    ASSERT_EQ(RunInstalled("qpx paths", &output), 0); // QUILLPOST_DATA of the test
    EXPECT_NE(output.find("dictionary: " + (root_ / "usr/share/quillpost/qpx.dct").string()),
              std::string::npos)
        << output;
    output.clear();
    ASSERT_EQ(qptest::RunCommand("env -u QUILLPOST_DATA HOME=" + Quoted(home) + " " +
                                     Quoted(root_ / "usr/bin/qpx") + " paths",
                                 &output),
              0);
    EXPECT_NE(output.find("data folder: " + (home / ".local/share/Quillpost/").string()),
              std::string::npos)
        << output;

    // The shipped dictionary is taken into the data folder and used.
    ASSERT_EQ(RunInstalled("qpx spell check hello wrold", &output), 1) << output;
    EXPECT_EQ(output, "hello: known\nwrold: unknown\n");
}

// "quillpost --view" shows an APF file and a TIFF fax; a file that is no fax is refused
// with the reason and status 1.
TEST_F(PackageTest, InstalledQuillpostViewsFaxFiles) {
    const fs::path text = work_->path() / "letter.txt";
    std::ofstream(text) << "Dear reader,\n\nthis page was sent by fax.\n";
    const fs::path apf = work_->path() / "letter.apf";
    const fs::path tiff = work_->path() / "letter.tif";
    std::string output;
    ASSERT_EQ(RunInstalled("qpx apf convert " + Quoted(text) + " -o " + Quoted(apf), &output), 0)
        << output;
    ASSERT_EQ(RunInstalled("qpx apf totiff " + Quoted(apf) + " -o " + Quoted(tiff), &output), 0)
        << output;

    for (const fs::path& fax : {apf, tiff}) {
        const fs::path shot = work_->path() / (fax.filename().string() + ".png");
        ASSERT_EQ(RunInstalled("quillpost --view " + Quoted(fax), &output, shot), 0) << output;
        const QImage page(QString::fromStdString(shot.string()));
        ASSERT_FALSE(page.isNull()) << fax;
        // The text of the page is there: some pixels are dark, most are light.
        int dark = 0;
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < grey.height(); ++y) {
            for (int x = 0; x < grey.width(); ++x) {
                dark += qGray(grey.pixel(x, y)) < 100 ? 1 : 0;
            }
        }
        EXPECT_GT(dark, 50) << fax;
        EXPECT_LT(dark, grey.width() * grey.height() / 4) << fax;
    }
    // A bare file name opens the same way (the menu entry passes files like this).
    const fs::path bare = work_->path() / "bare.png";
    EXPECT_EQ(RunInstalled("quillpost " + Quoted(apf), &output, bare), 0) << output;

    const fs::path shot = work_->path() / "refused.png";
    EXPECT_EQ(RunInstalled("quillpost --view " + Quoted(text), &output, shot), 1);
    EXPECT_NE(output.find("File is not an APF file"), std::string::npos) << output;
    EXPECT_EQ(
        RunInstalled("quillpost --view " + Quoted(work_->path() / "missing.apf"), &output, shot),
        1);
    EXPECT_NE(output.find("does not exist"), std::string::npos) << output;
    const fs::path empty = work_->path() / "empty.apf";
    std::ofstream(empty) << "";
    EXPECT_EQ(RunInstalled("quillpost --view " + Quoted(empty), &output, shot), 1);
    EXPECT_FALSE(fs::exists(shot));
}

TEST_F(PackageTest, DesktopEntryMetainfoAndFileTypePassTheirCheckers) {
    std::string output;
    EXPECT_EQ(qptest::RunCommand(
                  "desktop-file-validate " +
                      Quoted(root_ / "usr/share/applications/org.quillpost.Quillpost.desktop"),
                  &output),
              0)
        << output;
    EXPECT_EQ(output, "");
    output.clear();
    EXPECT_EQ(qptest::RunCommand(
                  "appstreamcli validate --no-net " +
                      Quoted(root_ / "usr/share/metainfo/org.quillpost.Quillpost.metainfo.xml"),
                  &output),
              0)
        << output;
    std::cout << "appstreamcli validate:\n" << output;
    // The file type database built from the package knows APF files by name and content.
    ASSERT_EQ(
        qptest::RunCommand("update-mime-database " + Quoted(root_ / "usr/share/mime"), &output), 0)
        << output;
    EXPECT_NE(ReadFile(root_ / "usr/share/mime/globs2").find("application/x-quillpost-apf:*.apf"),
              std::string::npos);
    EXPECT_NE(ReadFile(root_ / "usr/share/mime/magic").find("application/x-quillpost-apf"),
              std::string::npos);
    const std::string desktop =
        ReadFile(root_ / "usr/share/applications/org.quillpost.Quillpost.desktop");
    EXPECT_NE(desktop.find("MimeType=application/x-quillpost-apf;image/tiff;"), std::string::npos);
}

TEST_F(PackageTest, LintianFindsNoErrors) {
    std::string output;
    const int status = qptest::RunCommand("lintian --fail-on error " + Quoted(package_), &output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("\nE: "), std::string::npos) << output;
    EXPECT_NE(output.rfind("E: ", 0), 0u) << output;
    std::cout << "lintian:\n" << output;
}
