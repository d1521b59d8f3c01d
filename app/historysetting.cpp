#include "app/historysetting.h"

#include "app/settings.h"
#include "display/candatadisplaysupport.h"

#include <QtGlobal>

namespace HistorySetting {

namespace {
const QString key = QStringLiteral("HistorySize");
}

int stored()
{
    bool ok = false;
    // As a 64-bit number, so that a value too large for an int is taken as too large, not as
    // no number at all.
    const qlonglong frames = readSetting(key).toLongLong(&ok);
    if (!ok)
        return CAN_DataDisplaySupport::DefaultMaxBuffSize;
    return int(qBound<qlonglong>(CAN_DataDisplaySupport::MinBuffSize, frames,
                                 CAN_DataDisplaySupport::MaxBuffSize));
}

void store(int frames)
{
    writeSetting(key, frames);
}

int applyAtStart(int runFrames)
{
    CAN_DataDisplaySupport *display = CAN_DataDisplaySupport::instance();
    display->setMaxBuffSize(runFrames > 0 ? runFrames : stored());
    return display->maxBuffSize();
}

} // namespace HistorySetting
