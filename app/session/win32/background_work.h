#pragma once
// Work that may take seconds (a strong key derivation) on a thread of its own, while the
// calling window thread goes on painting and answering the system. Keys and clicks
// meanwhile wait in the queue until the work is done, so no command starts in the middle
// and nothing typed ahead is lost.
#include "session.h"

namespace kh {

class WorkerThreadWork final : public BackgroundWork {
  public:
    // Rethrows on the calling thread what the work threw.
    void runAndWait(const std::function<void()>& work) override;
};

} // namespace kh
