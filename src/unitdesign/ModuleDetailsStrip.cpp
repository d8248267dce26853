#include "unitdesign/ModuleDetailsStrip.h"

GUI_UD_ModuleDetailsStrip::GUI_UD_ModuleDetailsStrip(const SIM_ModuleType* type, const std::string& statKey,
                                                     int type_, float mult)
    : moduleType(type), key(statKey), displayType(type_), multiplier(mult) {
  SetLabel("M_D_" + key, std::string());
}
