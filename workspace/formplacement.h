// FormPlacementStore: a window's state, position and size and the few other settings, kept
// in the settings file beside the executable. Each operation opens its own IniFile and frees
// it again, so two stores on the same file never see stale lines. Qt-free.
#pragma once

#include <string>

namespace tavlo {

// What the store reads and writes of a window; the window toolkit fills and applies it.
struct WindowPlacement {
  bool maximized = false;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

class FormPlacementStore {
 public:
  explicit FormPlacementStore(std::string iniPath) : iniPath_(std::move(iniPath)) {}

  // Maximized when "State" is set; otherwise Left, Top, Width, Height in this order, each
  // keeping its current value when the file has none. name is the window's component name.
  void LoadPlacement(const std::string& name, WindowPlacement& placement) const;
  // "State", then the four numbers unless maximized. Each write saves the file.
  void SavePlacement(const std::string& name, const WindowPlacement& placement) const;

  // value is the default on entry and the stored value (if any) on exit.
  void ReadString(const std::string& section, const std::string& key, std::string& value) const;
  void WriteString(const std::string& section, const std::string& key,
                   const std::string& value) const;

  const std::string& IniPath() const { return iniPath_; }

 private:
  std::string iniPath_;
};

}  // namespace tavlo
