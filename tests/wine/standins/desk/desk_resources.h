#pragma once
// Resource numbers shared by desk.rc and the applet.
#define DESK_DIALOG 1
#define DESK_PAGE_TEXT 101
