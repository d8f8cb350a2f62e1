#pragma once
// Work that may take seconds (a strong key derivation) on a thread of its own, while the
// calling window thread goes on painting and answering the system but takes no input:
// keys and clicks meanwhile are dropped, so no command can start in the middle.
#include "session.h"

namespace kh {

class WorkerThreadWork final : public BackgroundWork {
  public:
    // Rethrows on the calling thread what the work threw.
    void runAndWait(const std::function<void()>& work) override;
};

} // namespace kh
