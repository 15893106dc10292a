#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// Parses "positional... --option value --flag" argument lists of the apf subcommands.
class CommandArgs {
public:
    // `flags` are options without a value; every other "--name" (and "-o") takes one.
    CommandArgs(const std::vector<std::string>& args, const std::vector<std::string>& flags);

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::vector<std::string>& Positional() const { return positional_; }
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::optional<std::string> Value(const std::string& name) const;
    // The option as a whole number; `fallback` when absent; sets the error when malformed.
    long Number(const std::string& name, long fallback);

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> values_;
    std::string error_;
};
