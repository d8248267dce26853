#include "simdata/DataHooks.h"

SIM_DataHooks& GetDataHooks() {
  static SIM_DataHooks hooks;
  return hooks;
}
