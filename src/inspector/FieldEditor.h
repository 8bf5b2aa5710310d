#pragma once

#include "script/FieldAccess.h"

// One ImGui control for a plain value, chosen by its kind: numbers drag
// (integers in whole steps), booleans are checkboxes, texts are committed
// with Enter or on leaving the field, vectors drag per component, colours
// (by their name) open a colour picker, orientations show as Euler degrees,
// and a number holding script::kLibraryDefault reads "default". Needs an
// ImGui frame. True when the user changed the value; `value` then holds the
// new one.
bool EditFieldValue(const char* label, script::FieldValue& value, bool integral, bool colour);
