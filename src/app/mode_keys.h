#pragma once
// Virtual-key codes of the keys the game modes react to.
enum ModeKey
{
  KEY_TAB = 9,
  KEY_ENTER = 13,
  KEY_ESCAPE = 27,
  KEY_SPACE = 32,
  KEY_PAGE_UP = 33,
  KEY_PAGE_DOWN = 34,
  KEY_END = 35,
  KEY_HOME = 36,
  KEY_LEFT = 37,
  KEY_UP = 38,
  KEY_RIGHT = 39,
  KEY_DOWN = 40,
  KEY_PRINT_SCREEN = 44,
  KEY_F1 = 112,
  KEY_F5 = 116,
  KEY_F6 = 117,
  KEY_F9 = 120,
};
