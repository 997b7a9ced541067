#include "viewer/failurereport.h"

#include "core/catalogue.h"
#include "core/reportrequest.h"
#include "platform/frmSplash.h"
#include "platform/platform.h"

namespace velmora {

namespace {
std::function<void(const Failure &)> s_handler;
} // namespace

void setLoadFailureHandler(std::function<void(const Failure &)> handler)
{
    s_handler = std::move(handler);
}

void reportLoadFailure(const Failure &failure)
{
    if (s_handler) {
        restorePointer();
        s_handler(failure);
        frmSplash::unload();
        return;
    }
    const catalogue::FailureReport report = catalogue::failureReport(failure, request().LocalPath);
    // The pointer goes back before the box rather than after: an hourglass over the OK button
    // tells the user to wait for something that is not coming.
    restorePointer();
    platform::messageBox(nullptr, report.text, report.style, QString(), report.helpFile, report.helpTopic);
    frmSplash::unload();
}

} // namespace velmora
