#pragma once
// One stat line of a module type: the label is the key's "M_D_" text, the value is set by
// whoever shows it (the designer's module details, the post-battle unlock screen). In the
// designer a numeric line opens the comparison of that stat across every module type.
#include <string>

#include "gui/InfoWidgets.h"

class SIM_ModuleType;

class GUI_UD_ModuleDetailsStrip : public GUI_DataStrip {
 public:
  GUI_UD_ModuleDetailsStrip(const SIM_ModuleType* type, const std::string& key, int displayType,
                            float multiplier);

  bool LeftClick(float x, float y) override;
  void Process() override;

  // INTEGER, DECIMAL and DECIMAL_MULT lines.
  bool IsNumeric() const;

  const SIM_ModuleType* moduleType = nullptr;
  std::string key;
  int displayType = 0;
  float multiplier = 1.0f;
  // Set by the designer: a click on a numeric line opens the stat comparison.
  bool opensComparison = false;
};
