#include "platform/x11/shm_segment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

std::unique_ptr<ShmSegment> ShmSegment::create(X11Connection& connection, std::size_t size) {
  if (!connection.extensions().shm || size == 0) return nullptr;
  const int shmid = ::shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (shmid < 0) return nullptr;
  void* address = ::shmat(shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    ::shmctl(shmid, IPC_RMID, nullptr);
    return nullptr;
  }
  xcb_connection_t* c = connection.get();
  const xcb_shm_seg_t seg = connection.generateId();
  XcbError error =
      connection.check(xcb_shm_attach_checked(c, seg, static_cast<std::uint32_t>(shmid), 0));
  // Both sides have it now (or the server never will): the id is no longer needed.
  ::shmctl(shmid, IPC_RMID, nullptr);
  if (error) {
    ::shmdt(address);
    return nullptr;
  }
  return std::unique_ptr<ShmSegment>(
      new ShmSegment(connection, seg, static_cast<std::uint8_t*>(address), size));
}

ShmSegment::~ShmSegment() {
  if (connection_.ok()) {
    xcb_shm_detach(connection_.get(), seg_);
    connection_.flush();
  }
  ::shmdt(data_);
}

}  // namespace orvel::x11
