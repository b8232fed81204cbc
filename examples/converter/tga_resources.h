// The IDs of tga.rc.
#pragma once

#define IDD_TGA_SETUP 100
#define IDC_TGA_TOP_FIRST 101
#define IDS_TGA_FORMATS 200
