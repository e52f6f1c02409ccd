// Which index files the user attached to a table, kept in the settings file so that they are
// attached again when the program opens that table: a section named by the table's path with
// IndexFiles=N and IndexFile1 to IndexFileN. Reads and writes the settings only.
#pragma once

#include <string>
#include <vector>

namespace tavlo {

class FormPlacementStore;

// The files remembered for tablePath, in the order attached; none when the section is
// missing. Empty entries are left out.
std::vector<std::string> RememberedIndexFiles(const FormPlacementStore& settings,
                                              const std::string& tablePath);
// Replaces what is remembered for tablePath by files (each write saves the settings file;
// one that cannot be written raises the platform's file error).
void RememberIndexFiles(const FormPlacementStore& settings, const std::string& tablePath,
                        const std::vector<std::string>& files);

}  // namespace tavlo
