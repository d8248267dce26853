#include "online/GUI_Online.h"

GUI_Online::GUI_Online() = default;
