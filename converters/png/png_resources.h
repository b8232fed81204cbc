// The IDs of png.rc.
#pragma once

#define IDD_SETUP 100
#define IDC_NUMBER 101
#define IDC_BACKGROUND 104
#define IDS_FORMATS 200
#define IDS_NUMBER_REFUSED 201
