// The IDs of pnm.rc.
#pragma once

#define IDS_FORMATS 200
