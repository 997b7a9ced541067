#include "core/reportrequest.h"

namespace velmora {

ReportRequest &ReportRequest::instance()
{
    static ReportRequest r;
    return r;
}

} // namespace velmora
