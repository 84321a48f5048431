#pragma once

#include <QString>

// What went wrong in a call into the system, sorted into the causes a message tells apart,
// with the system's own words for the rest.
struct SystemError {
    enum class Cause {
        None,
        Missing,       // nothing at the path
        DanglingLink,  // a symbolic link to nothing
        LinkLoop,      // symbolic links that lead round in a circle
        Denied,        // no permission
        PathNotFolder, // a part of the path is not a folder
        NoFolder,      // the folder a new file goes in does not exist
        DiskFull,
        ReadOnlyDisk,
        InUse, // another program holds the file open and will not share it
        Other,
    };
    Cause cause = Cause::None;
    QString text; // the system's description, for Other

    explicit operator bool() const { return cause != Cause::None; }
};
