#include "online/GUI_Online.h"

#include "online/MessageDialogs.h"

GUI_Online::GUI_Online() = default;
GUI_Online::~GUI_Online() { delete OpenInbox(); }

void GUI_Online::Enter() { ShowInbox(); }

void GUI_Online::Leave() { delete OpenInbox(); }
