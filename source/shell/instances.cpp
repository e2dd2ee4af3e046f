// Stand-in until instance sharing lands: every start opens its own window.
#include "shell/instances.h"

bool ActivateExistingInstance(const wchar_t*) { return false; }
void EnterInstanceBlock() {}
void LeaveInstanceBlock() {}
LRESULT AnswerInstanceQuery() { return 0; }
