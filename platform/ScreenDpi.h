#pragma once

// Screen resolution in dots per inch, read once at start-up before any document
// is opened. Every millimetre-to-pixel conversion on screen uses these.
extern int g_nScreenDpiX;
extern int g_nScreenDpiY;
