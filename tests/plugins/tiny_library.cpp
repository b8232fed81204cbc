// A minimal plug-in for the module-loading conformance tests.
#include <imexp/converter.h>

CONV_EXTERN_C CONV_EXPORT int CONV_API TinyAnswer(void) { return 42; }
