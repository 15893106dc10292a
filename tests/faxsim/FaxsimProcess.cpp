#include "FaxsimProcess.h"

#include "TestPaths.h"

std::string FaxsimProcess::Executable() {
    return (qptest::BinaryDir() / "bin" / "faxsim").string();
}

bool FaxsimProcess::Start(const std::vector<std::string>& args, std::string* error) {
    std::vector<std::string> argv = {Executable()};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!process_.Start(argv, error)) {
        return false;
    }
    if (!process_.WaitForLine("ready ", Ms(10000))) {
        if (error) {
            *error = "no ready line";
        }
        return false;
    }
    return true;
}

std::optional<std::string> FaxsimProcess::Await(const std::string& prefix, Ms limit) {
    return process_.WaitForLine(prefix, limit);
}

bool FaxsimProcess::Saw(const std::string& prefix) {
    Drain(Ms(100));
    for (const std::string& line : process_.Lines()) {
        if (line.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

int FaxsimProcess::Count(const std::string& wanted) {
    Drain(Ms(100));
    int count = 0;
    for (const std::string& line : process_.Lines()) {
        count += line == wanted ? 1 : 0;
    }
    return count;
}

void FaxsimProcess::Drain(Ms limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<Ms>(deadline - std::chrono::steady_clock::now());
        if (!process_.ReadLine(left)) {
            break;
        }
    }
}

std::string FaxsimProcess::Transcript() const {
    std::string text;
    for (const std::string& line : process_.Lines()) {
        text += "  " + line + "\n";
    }
    return text;
}
