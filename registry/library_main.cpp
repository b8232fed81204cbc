// What the library does when the platform attaches it to a process and
// detaches it again.
#include "platform/library_attach.h"
#include "registry/converter_list.h"

namespace imexp {

void OnLibraryAttach(HINSTANCE self) {
  AttachRegistry(self);
  // An empty or unusable list is not reported here: nothing at attach shows
  // a message. The operations that need a converter report it.
  static_cast<void>(LoadConverterList());
}

void OnLibraryDetach() { FreeConverterList(); }

}  // namespace imexp
