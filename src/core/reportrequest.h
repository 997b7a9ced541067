#pragma once

#include <QPointer>
#include <QString>

class QLabel;

namespace velmora {

// The one process-wide report request. Entry points overwrite it field by field; nothing resets
// it between calls, so a later call sees whatever an earlier one left in fields it does not write.
struct ReportRequest {
    QString ReportKey;
    QString ReportTitle;
    QString SQLstatement;
    QString Datapath;       // ends in a separator
    QString ConnString;
    QString Storename;
    QString StoreNumber;
    QString LocalPath;      // ends in a separator
    QString DBpassword;
    QString MasterFilter;
    QString LayoutName;
    QPointer<QLabel> SearchResultTarget;

    static ReportRequest &instance();
};

inline ReportRequest &request() { return ReportRequest::instance(); }

} // namespace velmora
