// The page work of the session loop that later pages fill in: until a page
// has its polling, its row sends nothing and the loop waits for the user.
#include "ui/main_window.h"

bool TForm1::PollFaultCodePage(CommandChannel&) { return false; }
void TForm1::SearchECUs() {}
