// The window placement store over the settings file: one IniFile per operation.
#include "workspace/formplacement.h"

#include "workspace/inifile.h"

namespace tavlo {

void FormPlacementStore::LoadPlacement(const std::string& name, WindowPlacement& placement) const {
  IniFile ini(iniPath_);
  if (ini.ReadBool(name, "State", false)) {
    placement.maximized = true;
    return;
  }
  placement.maximized = false;
  placement.left = ini.ReadInteger(name, "Left", placement.left);
  placement.top = ini.ReadInteger(name, "Top", placement.top);
  placement.width = ini.ReadInteger(name, "Width", placement.width);
  placement.height = ini.ReadInteger(name, "Height", placement.height);
}

void FormPlacementStore::SavePlacement(const std::string& name,
                                       const WindowPlacement& placement) const {
  IniFile ini(iniPath_);
  ini.WriteBool(name, "State", placement.maximized);
  if (placement.maximized) return;
  ini.WriteInteger(name, "Left", placement.left);
  ini.WriteInteger(name, "Top", placement.top);
  ini.WriteInteger(name, "Width", placement.width);
  ini.WriteInteger(name, "Height", placement.height);
}

void FormPlacementStore::ReadString(const std::string& section, const std::string& key,
                                    std::string& value) const {
  value = IniFile(iniPath_).ReadString(section, key, value);
}

void FormPlacementStore::WriteString(const std::string& section, const std::string& key,
                                     const std::string& value) const {
  IniFile(iniPath_).WriteString(section, key, value);
}

}  // namespace tavlo
