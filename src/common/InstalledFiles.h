#pragma once

#include <string>

// Where an installed copy of the program finds the files it ships with. An install keeps
// the programs in a "bin" folder and the shared files in "share/quillpost" beside it
// (GNU install folders, /usr or any other prefix); helper programs live in
// "libexec/quillpost". Paths are found relative to the running executable, so an
// unpacked package works wherever it lies.
class InstalledFiles {
public:
    // The program's shared-files folder of an install ("<prefix>/share/quillpost/"), or
    // empty when the running program is not installed (it runs from a build or portable
    // folder).
    static std::string SharedFolder();

    // True when the running program is an installed one (its shared-files folder exists).
    static bool IsInstalled();

    // A file the program ships with, by name: beside the executable first (a portable
    // folder), then in the shared-files folder. Empty when neither has it.
    static std::string DataFile(const std::string& name);

    // A helper program by name: beside the executable first, then in the install's
    // helper folder ("<prefix>/libexec/quillpost/"). Empty when neither has it.
    static std::string HelperProgram(const std::string& name);
};
