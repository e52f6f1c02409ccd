// File-name parts: the one place where a path is split into folder, name and extension.
// Names are split at "\" and "/" and after a drive colon, so names written for the desktop and
// Linux paths both work. Pure string work: nothing here touches the file system.
#pragma once

#include <string>

namespace tavlo {

// name with its extension replaced by ext (ext appended when name has none).
std::string ChangeFileExt(const std::string& name, const std::string& ext);
// The folder part with its final separator ("" for a bare name).
std::string ExtractFilePath(const std::string& name);
// The folder part without its final separator, unless that separator is a root.
std::string ExtractFileDir(const std::string& name);
// The part after the last separator or drive colon.
std::string ExtractFileName(const std::string& name);
// The extension with its point ("" when there is none).
std::string ExtractFileExt(const std::string& name);
// "C:" for a drive, "\\server\share" for a network name, else "".
std::string ExtractFileDrive(const std::string& name);

}  // namespace tavlo
