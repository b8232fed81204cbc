// The IDs of pcx.rc.
#pragma once

#define IDS_FORMATS 200
#define IDS_FORMATS_MULTI_PAGE 202
