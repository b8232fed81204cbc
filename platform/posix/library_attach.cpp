// Attach and detach on POSIX: the shared library's constructor and destructor
// stand in for DllMain's process notifications.
#include "platform/library_attach.h"

#include "platform/posix/module_handles.h"

namespace {

__attribute__((constructor)) void AttachToProcess() {
  imexp::OnLibraryAttach(imexp::posix::ModuleContaining(reinterpret_cast<const void*>(&AttachToProcess)));
}

__attribute__((destructor)) void DetachFromProcess() { imexp::OnLibraryDetach(); }

}  // namespace
