#include "sentframerelay.h"

SentFrameRelay *SentFrameRelay::instance()
{
    static SentFrameRelay *relay = new SentFrameRelay;
    return relay;
}
