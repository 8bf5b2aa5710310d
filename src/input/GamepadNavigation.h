#pragma once

struct ImGuiIO;
class Gamepad;

// Lets a pad steer the tweak panels through Dear ImGui's own gamepad navigation:
// A activates, B cancels, X opens a menu, Y types into a field, the d-pad and the
// left stick move, the shoulder buttons switch windows (held, they also tweak
// slower and faster). Call it before every ImGui::NewFrame with the pad that
// steers (null for none: the panels then take no pad input).
void FeedGamepadNavigation(ImGuiIO& io, const Gamepad* pad);
