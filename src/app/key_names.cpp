// Display names of the virtual keys, as shown in key-binding screens.
#include "app/input.h"

namespace
{
struct KeyNameTable
{
  const char *name[256];

  constexpr KeyNameTable() : name{}
  {
    for (const char *&n : name)
      n = "?";
    name[1] = "Left Mouse Button";
    name[2] = "Right Mouse Button";
    name[4] = "Middle Mouse Button";
    name[8] = "Backspace";
    name[9] = "Tab";
    name[13] = "Enter";
    name[16] = "Shift";
    name[17] = "Ctrl";
    name[18] = "Alt";
    name[19] = "Pause";
    name[20] = "Caps Lock";
    name[27] = "Escape";
    name[32] = "Space";
    name[33] = "Page Up";
    name[34] = "Page Down";
    name[35] = "End";
    name[36] = "Home";
    name[37] = "Left Arrow";
    name[38] = "Up Arrow";
    name[39] = "Right Arrow";
    name[40] = "Down Arrow";
    name[45] = "Insert";
    name[46] = "Delete";
    const char *const digits[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    for (int i = 0; i < 10; i++)
      name[48 + i] = digits[i];
    const char *const letters[26] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                     "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
    for (int i = 0; i < 26; i++)
      name[65 + i] = letters[i];
    name[91] = "Left Win";
    name[92] = "Right Win";
    name[93] = "Application";
    const char *const numpad[10] = {"NumPad 0", "NumPad 1", "NumPad 2", "NumPad 3", "NumPad 4",
                                    "NumPad 5", "NumPad 6", "NumPad 7", "NumPad 8", "NumPad 9"};
    for (int i = 0; i < 10; i++)
      name[96 + i] = numpad[i];
    name[106] = "Multiply";
    name[107] = "Add";
    name[109] = "Subtract";
    name[110] = "Decimal";
    name[111] = "Divide";
    const char *const fkeys[12] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"};
    for (int i = 0; i < 12; i++)
      name[112 + i] = fkeys[i];
    name[144] = "Num Lock";
    name[145] = "Scroll Lock";
    name[186] = "Semicolon";
    name[187] = "Equals";
    name[188] = "Comma";
    name[189] = "Minus";
    name[190] = "Period";
    name[191] = "Slash";
    name[192] = "Grave";
    name[219] = "Left bracket";
    name[220] = "Backslash";
    name[221] = "Right bracket";
    name[222] = "Apostrophe";
  }
};

constexpr KeyNameTable key_names;
}  // namespace

const char *getKeyName(int vk) { return vk >= 0 && vk < 256 ? key_names.name[vk] : "?"; }
