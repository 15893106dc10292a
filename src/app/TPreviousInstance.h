#pragma once

#include <QString>

#include <memory>

class QLockFile;

// The single-instance record, one per process: the executable's file name, the caption
// derived from it, and whether another copy of the program already runs with the same
// data folder. The first copy holds a lock file in the data folder for its lifetime; a
// lock left by a copy that crashed is taken over.
class TPreviousInstance {
public:
    TPreviousInstance();
    ~TPreviousInstance();
    TPreviousInstance(const TPreviousInstance&) = delete;
    TPreviousInstance& operator=(const TPreviousInstance&) = delete;

    // The process-wide record, created on first use.
    static TPreviousInstance& Instance();

    const QString& FileName() const { return fileName_; }
    // The file name without its last four characters when it contains ".EXE", else empty.
    const QString& Caption() const { return caption_; }
    bool AnotherInstanceExists() const { return anotherInstance_; }

    // The name of the local server the first copy listens on: the executable's name and
    // a hash of the data folder, so copies using other data folders do not meet.
    QString ServerName() const;

private:
    QString fileName_;
    QString caption_;
    std::unique_ptr<QLockFile> lock_;
    bool anotherInstance_ = false;
};
