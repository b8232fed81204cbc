// The IDs of tiff.rc.
#pragma once

#define IDD_SETUP 100
#define IDC_COMPRESSION 103
#define IDC_BACKGROUND 104
#define IDS_FORMATS 200
// The compression list's lines, in the order of the setting's choices.
#define IDS_COMPRESSION_NONE 210
#define IDS_COMPRESSION_PACKBITS 211
#define IDS_COMPRESSION_LZW 212
#define IDS_COMPRESSION_DEFLATE 213
#define IDS_COMPRESSION_CCITT_G4 214
