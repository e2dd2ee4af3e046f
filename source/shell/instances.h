// One instance per file: the shared block through which instances find each other.
#pragma once
#include <windows.h>

bool ActivateExistingInstance(const wchar_t* path);  // true when another instance shows it and was activated
void EnterInstanceBlock();
void LeaveInstanceBlock();
LRESULT AnswerInstanceQuery();                        // message 1035
