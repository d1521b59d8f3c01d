#include "app/rcanresources.h"

#include <QtGlobal>

static void initArtwork()
{
    Q_INIT_RESOURCE(rcan_art);
}

void rcanInitResources()
{
    static const bool done = [] {
        initArtwork();
        return true;
    }();
    Q_UNUSED(done)
}
