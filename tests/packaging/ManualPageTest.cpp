// The manual pages document what the programs offer: every qpx subcommand with each of
// its verbs and options as "qpx help SUBCOMMAND" prints them, and every quillpost option.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "TestPaths.h"

namespace {

std::string Program(const std::string& name) {
    return (qptest::BinaryDir() / "bin" / name).string();
}

std::string ManualPageSource(const std::string& name) {
    std::ifstream in(qptest::SourceDir() / "packaging" / "man" / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The page's text without the escapes that only change fonts or protect hyphens.
std::string PlainText(std::string page) {
    page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    return page;
}

// The part of the qpx page about one subcommand: from its ".SS" heading to the next
// heading.
std::string SubcommandSection(const std::string& page, const std::string& name) {
    std::istringstream lines(page);
    std::string line;
    std::string section;
    bool inside = false;
    const std::regex heading("^\\.SS \"qpx " + name + "( |\")");
    while (std::getline(lines, line)) {
        if (line.rfind(".SS", 0) == 0 || line.rfind(".SH", 0) == 0) {
            inside = std::regex_search(line, heading);
        }
        if (inside) {
            section += line + "\n";
        }
    }
    return section;
}

// The subcommand names "qpx help" lists.
std::vector<std::string> Subcommands(const std::string& help) {
    std::vector<std::string> names;
    std::istringstream lines(help.substr(help.find("subcommands:")));
    std::string line;
    const std::regex entry("^  ([a-z]+)  ");
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, match, entry)) {
            names.push_back(match[1]);
        }
    }
    return names;
}

// What a usage text asks to be documented: the verbs after "qpx NAME" and every option.
std::set<std::string> UsageWords(const std::string& usage, const std::string& name) {
    std::set<std::string> words;
    const std::regex verb("qpx " + name + " ([a-z]+)");
    const std::regex option("(^|[\\s\\[(|])(--?[a-z][a-z-]*)");
    for (std::sregex_iterator it(usage.begin(), usage.end(), verb), end; it != end; ++it) {
        words.insert((*it)[1]);
    }
    for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
        words.insert((*it)[2]);
    }
    return words;
}

} // namespace

TEST(ManualPageTest, EveryQpxSubcommandIsDocumentedWithItsVerbsAndOptions) {
    std::string help;
    ASSERT_EQ(qptest::RunCommand(Program("qpx") + " help", &help), 0);
    const std::vector<std::string> names = Subcommands(help);
    ASSERT_GE(names.size(), 8u) << help; // error, paths, version and the subsystems' ones
    const std::string page = ManualPageSource("qpx.1");
    ASSERT_FALSE(page.empty());
    for (const std::string& name : names) {
        const std::string section = PlainText(SubcommandSection(page, name));
        EXPECT_FALSE(section.empty()) << "qpx.1 has no section \"qpx " << name << "\"";
        std::string usage;
        EXPECT_EQ(qptest::RunCommand(Program("qpx") + " help " + name + " 2>/dev/null", &usage), 0)
            << name;
        for (const std::string& word : UsageWords(usage, name)) {
            EXPECT_NE(section.find(word), std::string::npos)
                << "qpx.1 does not describe \"" << word << "\" of qpx " << name;
        }
    }
    // The tool's own options.
    for (const char* option : {"--version", "--help", "qpx help"}) {
        EXPECT_NE(PlainText(page).find(option), std::string::npos) << option;
    }
}

TEST(ManualPageTest, HelpOfAnUnknownSubcommandFails) {
    std::string output;
    EXPECT_EQ(qptest::RunCommand(Program("qpx") + " help nosuchcommand", &output), 2);
    EXPECT_NE(output.find("unknown subcommand"), std::string::npos) << output;
    EXPECT_EQ(qptest::RunCommand(Program("qpx") + " help table extra", &output), 2);
}

// The checker itself: a page that lacks a verb or an option of the usage is caught.
TEST(ManualPageTest, CheckerFindsWhatAPageLeavesOut) {
    const std::string usage = "usage: qpx fax send FILE [--number N] [--retry]\n"
                              "       qpx fax list\n";
    const std::set<std::string> words = UsageWords(usage, "fax");
    EXPECT_EQ(words, (std::set<std::string>{"send", "list", "--number", "--retry"}));
    const std::string page =
        ".SH SUBCOMMANDS\n.SS \"qpx fax\"\n.BI \"send \" FILE \" \\-\\-number \" N\n"
        ".SS \"qpx faxes\"\nlist --retry\n";
    const std::string section = PlainText(SubcommandSection(page, "fax"));
    EXPECT_NE(section.find("--number"), std::string::npos);
    EXPECT_EQ(section.find("list"), std::string::npos);
    EXPECT_EQ(section.find("--retry"), std::string::npos);
}

TEST(ManualPageTest, EveryQuillpostOptionIsDocumented) {
    std::string help;
    ASSERT_EQ(
        qptest::RunCommand("QT_QPA_PLATFORM=offscreen " + Program("quillpost") + " --help", &help),
        0);
    const std::string page = PlainText(ManualPageSource("quillpost.1"));
    const std::regex option("(^|\\s)(--?[a-z][a-z-]*)");
    int found = 0;
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
        ++found;
        EXPECT_NE(page.find((*it)[2]), std::string::npos)
            << "quillpost.1 does not describe " << (*it)[2];
    }
    EXPECT_GE(found, 6) << help; // -m --minimized --view -h --help -v --version
}

// Both pages format without complaints.
TEST(ManualPageTest, PagesFormatCleanly) {
    for (const char* name : {"quillpost.1", "qpx.1"}) {
        const auto page = qptest::BinaryDir() / "packaging" / "man" / name;
        std::string warnings;
        const int status = qptest::RunCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " +
                                                  page.string() + " 2>&1 >/dev/null",
                                              &warnings);
        EXPECT_EQ(status, 0) << name << ": " << warnings;
        EXPECT_EQ(warnings, "") << name;
    }
}
