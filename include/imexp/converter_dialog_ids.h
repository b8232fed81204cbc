/*
 * The string IDs of <imexp/converter_dialogs.rc>, the texts that the setup
 * and about dialogs of <imexp/converter_dialogs.h> share. A converter's own
 * IDs stay below IMEXP_IDS_FIRST_SHARED.
 */
#ifndef IMEXP_CONVERTER_DIALOG_IDS_H
#define IMEXP_CONVERTER_DIALOG_IDS_H

#define IMEXP_IDS_FIRST_SHARED 57344
#define IMEXP_IDS_ABOUT_CAPTION 57344
#define IMEXP_IDS_ABOUT_TEXT 57345
#define IMEXP_IDS_ABOUT_LIBRARY 57346
#define IMEXP_IDS_COLOR_REFUSED 57347

#endif
