// The IDs of bmp.rc.
#pragma once

#define IDS_FORMATS 200
