// The IDs of bmp.rc.
#pragma once

#define IDD_SETUP 100
#define IDC_BACKGROUND 104
#define IDS_FORMATS 200
