#pragma once

#include "asr/TencentASRSocket.h"

namespace velnor {

class MainQueue;
class Pacer;
class Scheduler;
class TencentASRLogger;
class TencentASRSignature;

// The collaborators of the real-time client's objects, passed in by the
// composition root (or a test). All referenced objects outlive the users.
struct TencentASREnvironment {
    Scheduler& scheduler;                 // main-thread timers
    MainQueue& mainQueue;                 // hops to the main thread
    Pacer& pacer;                         // pacing on worker queues
    TencentASRLogger& log;
    const TencentASRSignature& signature;
    TencentASRSocketFactory socketFactory;
};

} // namespace velnor
