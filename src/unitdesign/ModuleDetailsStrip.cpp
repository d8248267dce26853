#include "unitdesign/ModuleDetailsStrip.h"

#include "gui/Cursor.h"
#include "simdata/ModuleType.h"
#include "unitdesign/UnitDesigner.h"

GUI_UD_ModuleDetailsStrip::GUI_UD_ModuleDetailsStrip(const SIM_ModuleType* type, const std::string& statKey,
                                                     int type_, float mult)
    : moduleType(type), key(statKey), displayType(type_), multiplier(mult) {
  SetLabel("M_D_" + key, "M_D_" + key + "_TT");
}

bool GUI_UD_ModuleDetailsStrip::IsNumeric() const {
  return displayType == MDI_INTEGER || displayType == MDI_DECIMAL || displayType == MDI_DECIMAL_MULT;
}

bool GUI_UD_ModuleDetailsStrip::LeftClick(float, float) {
  if (!IsMouseOver()) return false;
  if (opensComparison && IsNumeric() && moduleType) {
    ModuleDataItem item;
    item.key = key;
    item.type = static_cast<ModuleDataItemType>(displayType);
    item.multiplier = multiplier;
    OpenModuleStatComparison(moduleType, item);
  }
  return true;
}

void GUI_UD_ModuleDetailsStrip::Process() {
  if (opensComparison && IsNumeric() && IsMouseOver()) GUI_Cursor::SetHandCursor();
  GUI_DataStrip::Process();
}
