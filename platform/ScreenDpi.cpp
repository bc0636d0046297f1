#include "platform/ScreenDpi.h"

int g_nScreenDpiX = 96;
int g_nScreenDpiY = 96;
