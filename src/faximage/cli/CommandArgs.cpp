#include "faximage/cli/CommandArgs.h"

#include <algorithm>
#include <cstdlib>

CommandArgs::CommandArgs(const std::vector<std::string>& args,
                         const std::vector<std::string>& flags) {
    for (std::size_t index = 0; index < args.size(); ++index) {
        const std::string& arg = args[index];
        if (arg.size() < 2 || arg[0] != '-') {
            positional_.push_back(arg);
            continue;
        }
        if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            values_[arg] = "";
            continue;
        }
        if (index + 1 >= args.size()) {
            error_ = "option " + arg + " needs a value";
            return;
        }
        values_[arg] = args[++index];
    }
}

std::optional<std::string> CommandArgs::Value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

long CommandArgs::Number(const std::string& name, long fallback) {
    const auto value = Value(name);
    if (!value) {
        return fallback;
    }
    char* end = nullptr;
    const long number = std::strtol(value->c_str(), &end, 0);
    if (value->empty() || *end != '\0') {
        error_ = "option " + name + " needs a number, not '" + *value + "'";
        return fallback;
    }
    return number;
}
