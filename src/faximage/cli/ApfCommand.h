#pragma once

#include <string>
#include <vector>

// "qpx apf SUBCOMMAND ...": the fax file tools. Subcommands are listed in one table
// (ApfCommand.cpp); add an entry there for a new one.
struct ApfSubcommand {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;
};

const std::vector<ApfSubcommand>& ApfSubcommands();

int QpxApf(const std::vector<std::string>& args);

// The subcommands of this library.
int ApfInfo(const std::vector<std::string>& args);
int ApfConvert(const std::vector<std::string>& args);
int ApfRender(const std::vector<std::string>& args);
int ApfToTiff(const std::vector<std::string>& args);
